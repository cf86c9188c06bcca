// The files of the shared scenarios (tests/wine/scenarios), which the real
// Setup.exe runs under Wine and the program runs on the simulated machine.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// A host file's bytes ("" when it cannot be read).
std::string read_all(const std::filesystem::path& file);

// The key=value lines of a scenario's scenario.conf, in their order; blank
// lines, comments and lines without "=" left out.
std::vector<std::pair<std::string, std::string>> scenario_settings(const std::filesystem::path& folder);
