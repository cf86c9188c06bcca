// The package check printed for people (tables) or for build pipelines
// (JSON), in UTF-8 whatever the code page of the machines.
#pragma once

#include <string>

#include "setup-sim/package_check.h"

// Lines of at most 120 characters, broken at blanks only: a longer one holds
// a word longer than that, or table cells before the last column, which are
// never broken, as wide as that; `wide` adds the engine, the INF and the
// engine's command line to the rows, each column as wide as it needs.
std::string check_report_text(const std::string& package, const PackageCheck& check, bool wide = false);
std::string check_report_json(const std::string& package, const PackageCheck& check);
