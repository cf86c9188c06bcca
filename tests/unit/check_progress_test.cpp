// The package check's progress on standard error, on a clock the test sets.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "setup-sim/check_progress.h"

namespace {

struct ProgressCase {
    const char* name;
    std::vector<double> run_ends;  // seconds after the start when each run ends
    double end;                    // seconds after the start when the check ends
    const char* told;
};

const ProgressCase PROGRESS_CASES[] = {
    {"quick check says nothing", {0.2, 0.5, 0.9}, 0.95, ""},
    {"a check past a second tells each second and its end",
     {0.5, 1.1, 1.5, 2.0, 2.2, 3.4},
     3.5,
     "setup-sim check: 2 runs done, 1.1 s (last: Windows 7 x64, run 2)\n"
     "setup-sim check: 5 runs done, 2.2 s (last: Windows 7 x64, run 5)\n"
     "setup-sim check: 6 runs done, 3.4 s (last: Windows 7 x64, run 6)\n"
     "setup-sim check: 6 runs done in 3.5 s\n"},
    {"runs done quickly, the rest slow: only the end", {0.1, 0.2}, 1.5, "setup-sim check: 2 runs done in 1.5 s\n"},
};

TEST(CheckProgressTest, TellsOnlyWhatTakesOverASecond)
{
    for (const ProgressCase& test : PROGRESS_CASES) {
        double now = 100.0;
        std::ostringstream out;
        CheckProgress progress(out, [&now] { return now; });
        for (size_t i = 0; i < test.run_ends.size(); ++i) {
            now = 100.0 + test.run_ends[i];
            progress.ran("Windows 7 x64", "run " + std::to_string(i + 1));
        }
        now = 100.0 + test.end;
        progress.end();
        EXPECT_EQ(out.str(), test.told) << test.name;
    }
}

}  // namespace
