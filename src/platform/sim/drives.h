// Windows paths on the simulated machine's drives: the normalisation Windows
// applies to every path it is given, and the NTFS-like view of the host
// folders behind the drive letters (case-insensitive names, sorted listings).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The full-path normalisation Windows applies before it opens anything:
// "/" becomes "\", runs of separators collapse, "." and ".." are resolved
// (never above the root), a segment that ends in a single period loses it
// ("C:\Package.\DPInst.exe" is "C:\Package\DPInst.exe") and, unless the path
// ends in a separator, trailing periods and blanks of the last segment go.
// The root is kept as written ("C:\", "\\server\share\", "\"); a drive
// without a backslash ("C:a") is taken from its root, as this knows no
// current folder: absolute_windows_path resolves one against the drive's
// current folder first. A relative path stays relative
// (leading ".." kept, as there is no current folder to resolve them against).
// Segments are split by characters of the machine's ANSI code page.
std::string canonical_windows_path(const std::string& path);

// The names in a host folder (without "." and ".."), in the order NTFS keeps
// them: compared upper-cased, UTF-16 unit by unit. Empty when the folder
// cannot be read.
std::vector<std::string> list_directory_sorted(const std::string& host_folder);

// Host names (UTF-8) compare as NTFS compares file names: UTF-16 units
// upper-cased by Windows' casing table (sim::upcase), so "GRÖSSE" is not
// "Größe" but "GRÖßE" is.
bool names_equal(std::string_view a, std::string_view b);
bool name_less(std::string_view a, std::string_view b);

}  // namespace sim
