// The package check printed for people (tables) or for build pipelines (JSON).
#pragma once

#include <string>

#include "setup-sim/package_check.h"

std::string check_report_text(const std::string& package, const PackageCheck& check);
std::string check_report_json(const std::string& package, const PackageCheck& check);
