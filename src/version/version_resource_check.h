// The version library beside the package INF must state the INF's version.
#pragma once

#include <cstdint>

// A product version longer than this is cut; it then still cannot equal an
// INF version, which is far shorter, so the check refuses it as it would the
// whole text.
constexpr uint32_t PRODUCT_VERSION_UNITS = 1024;
// Room for every unit as two bytes (the double-byte code pages) and the NUL.
constexpr uint32_t PRODUCT_VERSION_CAPACITY = 2 * PRODUCT_VERSION_UNITS + 1;

// The version library's path in inf_folder (PATH_CAPACITY) and its product
// version (PRODUCT_VERSION_CAPACITY), ANSI: false when there is none to read.
bool read_version_library(char* library, char* product_version);

// "VxaVer.dll" in the INF's folder: its product version must be the INF's
// DriverVer version written with ", " between the numbers ("8.1.0.83" is
// "8, 1, 0, 83"). 0 after an English "ERROR" box when they differ; 1 when they
// agree or there is nothing to compare (no library, no such product version,
// no readable DriverVer).
int CheckVersionResource(const char* inf_path);

// The text of that box.
constexpr const char* VERSION_LIBRARY_MISMATCH = "VxaVer.dll version does not correspond to Driver version";
