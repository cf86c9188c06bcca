// The version library beside the package INF must state the INF's version.
#pragma once

// "VxaVer.dll" in the INF's folder: its product version must be the INF's
// DriverVer version written with ", " between the numbers ("8.1.0.83" is
// "8, 1, 0, 83"). 0 after an English "ERROR" box when they differ; 1 when they
// agree or there is nothing to compare (no library, no such product version,
// no readable DriverVer).
int CheckVersionResource(const char* inf_path);

// The text of that box.
constexpr const char* VERSION_LIBRARY_MISMATCH = "VxaVer.dll version does not correspond to Driver version";
