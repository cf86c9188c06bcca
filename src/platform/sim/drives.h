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
// without a backslash ("C:a") is taken from its root, as the simulated
// machine has no per-drive current folder. A relative path stays relative
// (leading ".." kept, as there is no current folder to resolve them against).
// Segments are split by characters of the machine's ANSI code page.
std::string canonical_windows_path(const std::string& path);

// The names in a host folder (without "." and ".."), in the order NTFS keeps
// them: compared upper-cased, byte by byte. Empty when the folder cannot be read.
std::vector<std::string> list_directory_sorted(const std::string& host_folder);

// File names compare as NTFS compares them for ASCII: letters folded to upper
// case. Bytes outside ASCII (UTF-8 on the host) compare exactly.
bool names_equal(std::string_view a, std::string_view b);
bool name_less(std::string_view a, std::string_view b);

}  // namespace sim
