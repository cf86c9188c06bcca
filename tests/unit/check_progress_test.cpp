// The package check's progress on standard error, on a clock the test sets.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "setup-sim/check_progress.h"
#include "setup-sim/package_check.h"
#include "setup-sim/profile_loader.h"

namespace {

struct Run {
    size_t planned;  // runs the check plans before it
    double end;      // seconds after the start when it ends
};

struct ProgressCase {
    const char* name;
    std::vector<Run> runs;
    double end;  // seconds after the start when the check ends
    const char* told;
};

const ProgressCase PROGRESS_CASES[] = {
    {"quick check says nothing", {{3, 0.2}, {0, 0.5}, {0, 0.9}}, 0.95, ""},
    {"a check past a second tells each second, the time left once three runs are done, and its end",
     {{6, 0.5}, {0, 1.1}, {0, 1.5}, {0, 2.0}, {0, 2.2}, {0, 3.4}},
     3.5,
     "setup-sim check: 2 of 6 runs done, 1.1 s (last: Windows 7 x64, run 2)\n"
     "setup-sim check: 5 of 6 runs done, 2.2 s, about 0.4 s left (last: Windows 7 x64, run 5)\n"
     "setup-sim check: 6 of 6 runs done, 3.4 s (last: Windows 7 x64, run 6)\n"
     "setup-sim check: 6 runs done in 3.5 s\n"},
    {"runs done quickly, the rest slow: only the end", {{2, 0.1}, {0, 0.2}}, 1.5, "setup-sim check: 2 runs done in 1.5 s\n"},
    // The third run, half a second after the last line, goes untold.
    {"runs planned on the way add to the total and the time left",
     {{2, 0.5}, {0, 1.0}, {4, 1.5}, {0, 3.0}, {0, 4.0}},
     4.5,
     "setup-sim check: 2 of 2 runs done, 1.0 s (last: Windows 7 x64, run 2)\n"
     "setup-sim check: 4 of 6 runs done, 3.0 s, about 1.5 s left (last: Windows 7 x64, run 4)\n"
     "setup-sim check: 5 of 6 runs done, 4.0 s, about 0.8 s left (last: Windows 7 x64, run 5)\n"
     "setup-sim check: 5 runs done in 4.5 s\n"},
    {"a run beyond those planned is told as it is, with no time left",
     {{1, 1.0}, {0, 2.0}, {0, 3.0}},
     3.0,
     "setup-sim check: 1 of 1 runs done, 1.0 s (last: Windows 7 x64, run 1)\n"
     "setup-sim check: 2 of 1 runs done, 2.0 s (last: Windows 7 x64, run 2)\n"
     "setup-sim check: 3 of 1 runs done, 3.0 s (last: Windows 7 x64, run 3)\n"
     "setup-sim check: 3 runs done in 3.0 s\n"},
};

TEST(CheckProgressTest, TellsOnlyWhatTakesOverASecond)
{
    for (const ProgressCase& test : PROGRESS_CASES) {
        double now = 100.0;
        std::ostringstream out;
        CheckProgress progress(out, [&now] { return now; });
        for (size_t i = 0; i < test.runs.size(); ++i) {
            progress.expect(test.runs[i].planned);
            now = 100.0 + test.runs[i].end;
            progress.ran("Windows 7 x64", "run " + std::to_string(i + 1));
        }
        now = 100.0 + test.end;
        progress.end();
        EXPECT_EQ(out.str(), test.told) << test.name;
    }
}

// The runs a check plans are the runs it does: on a clock a second further
// at each look, every run tells, and the last says all of them are done.
TEST(CheckProgressTest, PlansTheRunsTheCheckDoes)
{
    const std::string examples = std::string(SOURCE_DIR) + "/examples/";
    const struct {
        const char* package;
        const char* profile;  // of examples/machines, or ""
    } rows[] = {{"package", ""},
                {"layout2-package", ""},
                {"broken-package", ""},
                {"broken-layout1-package", "win81-x64.ini"}};
    for (const auto& row : rows) {
        std::vector<ProfileMachine> profiles;
        std::string error;
        if (row.profile[0] != '\0') {
            profiles.push_back({row.profile, {}});
            builtin_machine(&profiles.back().machine);
            ASSERT_TRUE(load_machine_profile(examples + "machines/" + row.profile, &profiles.back().machine, &error))
                << error;
        }
        double now = 0;
        std::ostringstream out;
        CheckProgress progress(out, [&now] { return now += 1.0; });
        PackageCheck check;
        ASSERT_TRUE(check_package(examples + row.package, profiles, &check, &error, &progress)) << error;
        // The line of the last run, before the end's.
        const std::string told = out.str();
        const std::string line_start = "setup-sim check: ";
        const size_t last_run = told.rfind(line_start, told.rfind(line_start) - 1) + line_start.size();
        const std::string all_done = std::to_string(check.rows.size()) + " of " + std::to_string(check.rows.size());
        EXPECT_EQ(told.substr(last_run, all_done.size() + 1), all_done + " ") << row.package << "\n" << told;
    }
}

}  // namespace
