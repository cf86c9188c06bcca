#include "support/scenario_files.h"

#include <fstream>
#include <sstream>

std::string read_all(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::pair<std::string, std::string>> scenario_settings(const std::filesystem::path& folder)
{
    std::vector<std::pair<std::string, std::string>> settings;
    std::istringstream lines(read_all(folder / "scenario.conf"));
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        settings.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return settings;
}
