// The package check's text report: lines of at most 120 characters, broken
// at blanks only.
#include <gtest/gtest.h>

#include <string>

#include "setup-sim/check_report.h"

namespace {

const std::string LONG_PROFILE = "windows-7-x64-customer-laptop-with-a-long-profile-name.ini";
const std::string LONG_WORD = "C:\\" + std::string(125, 'x') + "\\DPInst.exe";

// A layout-1 check with one run on Windows 7 x64, and a finding when its text is given.
PackageCheck one_run(const std::string& machine, const std::string& description, const std::string& subject = "",
                     const std::string& finding_text = "")
{
    PackageCheck check;
    CheckRow row;
    row.windows = "Windows 7 x64";
    row.machine = machine;
    row.section = "W764";
    row.description = description;
    check.rows.push_back(row);
    if (!finding_text.empty()) check.findings.push_back({"error", "engine-missing", "Setup.ini", 12, subject, finding_text});
    return check;
}

const char HEADING[] = "Package: pkg (settings layout 1)\n"
                       "Each row is a run of Setup.exe on a simulated machine (--wide: engine, INF, command line).\n\n";
const char PREREQUISITE[] = "prerequisite dotNetFx40_Client_x86_x64.exe /q, then installs";

TEST(CheckReportText, WrapsAtBlanksWithinTheWidth)
{
    const struct {
        const char* name;
        PackageCheck check;
        std::string table;  // the report after its heading
    } rows[] = {
        // As much room as "dotNetFx40_Client_x86_x64.exe" needs.
        {"the outcome beside the others, broken at blanks",
         one_run("ACPI\\VXA0704, ACPI\\VXA0705 and 2 more", PREREQUISITE),
         "Windows        Machine                                Run           Section  Result  Exit  Outcome\n"
         "Windows 7 x64  ACPI\\VXA0704, ACPI\\VXA0705 and 2 more  Setup.exe /s  W764     0       0     prerequisite\n"
         "                                                                                           "
         "dotNetFx40_Client_x86_x64.exe\n"
         "                                                                                           "
         "/q, then installs\n\nFindings: none\n"},
        // The others leave less room than "dotNetFx40_Client_x86_x64.exe".
        {"the outcome below the others where its longest word has no room beside them",
         one_run(LONG_PROFILE, PREREQUISITE),
         "Windows        Machine                                                     Run           Section  Result  Exit\n"
         "    Outcome\n"
         "Windows 7 x64  windows-7-x64-customer-laptop-with-a-long-profile-name.ini  Setup.exe /s  W764     0       0\n"
         "    prerequisite dotNetFx40_Client_x86_x64.exe /q, then installs\n\nFindings: none\n"},
        {"a word longer than the width whole on its line",
         one_run("no touch pad", "refused with message 3: " + LONG_WORD + " is missing"),
         "Windows        Machine       Run           Section  Result  Exit\n"
         "    Outcome\n"
         "Windows 7 x64  no touch pad  Setup.exe /s  W764     0       0\n"
         "    refused with message 3:\n"
         "    " + LONG_WORD + "\n"
         "    is missing\n\nFindings: none\n"},
        {"a finding's line and text broken at blanks",
         one_run("no touch pad", "installs", "[W764] Path=\\" + std::string(110, 'p') + "\\DPInst.exe",
                 "names an engine that is not in the package: " + LONG_WORD + " is missing"),
         "Windows        Machine       Run           Section  Result  Exit  Outcome\n"
         "Windows 7 x64  no touch pad  Setup.exe /s  W764     0       0     installs\n\n"
         "Findings: 1\n"
         "  Setup.ini:12: error: [W764]\n"
         "    Path=\\" + std::string(110, 'p') + "\\DPInst.exe\n"
         "    names an engine that is not in the package:\n"
         "    " + LONG_WORD + "\n"
         "    is missing [engine-missing]\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(check_report_text("pkg", row.check), HEADING + row.table) << row.name;
    }
}

}  // namespace
