// The version library beside the package INF must state the INF's version.
#pragma once

// "VxaVer.dll" in the INF's folder: its product version must be the INF's
// DriverVer version written with ", " between the numbers ("8.1.0.83" is
// "8, 1, 0, 83"). 0 after an English "ERROR" box when they differ; 1 when they
// agree or there is nothing to compare (no library, no such product version,
// no readable DriverVer).
int CheckVersionResource(const char* inf_path);

// A product version longer than this is cut; it then still cannot equal an
// INF version, which is far shorter, so the check refuses it as it would the
// whole text.
constexpr unsigned PRODUCT_VERSION_UNITS = 1024;
// Room for every unit as two bytes (the double-byte code pages) and the NUL.
constexpr unsigned PRODUCT_VERSION_CAPACITY = 2 * PRODUCT_VERSION_UNITS + 1;

// What that check compares: the library's path (PATH_CAPACITY), its product
// version (PRODUCT_VERSION_CAPACITY) and the INF's DriverVer version with
// ", " between the numbers (VERSION_TEXT_CAPACITY). False when there is
// nothing to compare.
bool version_library_texts(const char* inf_path, char* library, char* product_version, char* driver_version);

// The text of that box.
constexpr const char* VERSION_LIBRARY_MISMATCH = "VxaVer.dll version does not correspond to Driver version";
