// The .NET Framework and WIC installers that a package runs first on Windows
// before 8, when its settings ask for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/pe.h"
#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

const char* const NET4_KEY = "HKLM\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4";
const char* const WIC_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows Imaging Component";

class PrerequisiteRun : public PackageTest {
protected:
    void use_os(uint32_t major, uint32_t minor, bool is_64bit, uint32_t support)
    {
        set_os(major, minor, is_64bit);
        const std::string flags = "\r\nSupport=" + std::to_string(support) + "\r\n";
        write_settings("[XP64]\r\nPath=.\\DPInst.exe" + flags + "[W764]\r\nPath=.\\DPInst.exe" + flags +
                       "[W732]\r\nPath=.\\DPInst.exe" + flags + "[W864]\r\nPath=.\\DPInst.exe" + flags +
                       "[Vi64]\r\nPath=.\\DPInst.exe" + flags);
        write_engine("DPInst.exe", is_64bit ? PE_MACHINE_AMD64 : PE_MACHINE_I386);
        write_inf("Touch.inf");
    }
    void ship_installers()
    {
        write_engine("DotNetFx\\dotNetFx40_Client_x86_x64.exe", PE_MACHINE_I386);
        write_engine("DotNetFx\\wic_x64_enu.exe", PE_MACHINE_AMD64);
    }
    void install_key(const char* path) { machine.registry.push_back(sim::RegistryKey{path, {}, {}}); }
    std::vector<record::Process> shell_starts() const
    {
        std::vector<record::Process> starts;
        for (const record::Process& process : machine.record.processes) {
            if (process.kind == "shell") starts.push_back(process);
        }
        return starts;
    }
};

TEST_F(PrerequisiteRun, MissingFrameworkOnWindows7RunsHiddenFromTheDotNetFxFolder)
{
    use_os(6, 1, true, 8 | 16);
    ship_installers();
    EXPECT_EQ(run("/s"), SUCCESS);
    const auto starts = shell_starts();
    ASSERT_EQ(starts.size(), 1u);  // WIC is only considered on XP x64
    EXPECT_EQ(starts[0].command_line, "dotNetFx40_Client_x86_x64.exe /q");
    EXPECT_EQ(starts[0].directory, "C:\\Package\\DotNetFx");
    EXPECT_EQ(starts[0].show_command, 0);
    EXPECT_EQ(engine_command_line(), "\"C:\\Package\\DPInst.exe\" /f /sw /se");
}

// Which installers start, in order, with which parameters; a silent run
// asks the shell to show no error box of its own.
TEST_F(PrerequisiteRun, InstallersStartedByWindowsAndMode)
{
    const struct {
        const char* name;
        uint32_t major, minor;
        bool is_64bit;
        const char* command_line;
        std::vector<std::string> starts;
    } rows[] = {
        // An interactive run asks the installers not to restart.
        {"Win7 x86 interactive", 6, 1, false, "", {"dotNetFx40_Client_x86_x64.exe /norestart"}},
        // The WIC branch needs exactly 5.1 with 64-bit Windows.
        {"5.1 x64", 5, 1, true, "/s",
         {"wic_x64_enu.exe /quiet (no error box)", "dotNetFx40_Client_x86_x64.exe /q (no error box)"}},
        // XP x64 reports 5.2, so WIC is never considered there.
        {"XP x64 (5.2)", 5, 2, true, "/s", {"dotNetFx40_Client_x86_x64.exe /q (no error box)"}},
    };
    for (const auto& row : rows) {
        machine.record.processes.clear();
        machine.mutexes.clear();
        use_os(row.major, row.minor, row.is_64bit, 8 | 16);
        ship_installers();
        run(row.command_line);
        const auto starts = shell_starts();
        ASSERT_EQ(starts.size(), row.starts.size()) << row.name;
        for (size_t i = 0; i < starts.size(); ++i) {
            EXPECT_EQ(starts[i].command_line + (starts[i].no_error_ui ? " (no error box)" : ""), row.starts[i])
                << row.name;
        }
    }
}

TEST_F(PrerequisiteRun, InstalledFrameworkIsNotInstalledAgain)
{
    use_os(6, 1, true, 8 | 16);
    ship_installers();
    install_key(NET4_KEY);
    install_key(WIC_KEY);
    EXPECT_EQ(run("/s"), SUCCESS);
    EXPECT_TRUE(shell_starts().empty());
}

TEST_F(PrerequisiteRun, FrameworkKeyOnlyInThe64BitViewIsNotSeenByThe32BitProgram)
{
    use_os(6, 1, true, 8 | 16);
    ship_installers();
    machine.registry.push_back(sim::RegistryKey{NET4_KEY, sim::RegistryView::Only64, {}});
    run("/s");
    EXPECT_EQ(shell_starts().size(), 1u);
}

// A missing installer ends the run with a soft error and no engine; in an
// interactive run the shell shows its own box first (the file name as the
// program passed it), a silent run asked it for none.
TEST_F(PrerequisiteRun, MissingInstallerEndsWithSoftErrorAndNoEngine)
{
    const std::string shell_box = "dotNetFx40_Client_x86_x64.exe | Windows cannot find 'dotNetFx40_Client_x86_x64.exe'. "
                                  "Make sure you typed the name correctly, and then try again. | 10 | 1 | shell; ";
    const struct {
        const char* command_line;
        bool ship_folder;  // the DotNetFx folder is there, without the installer
        std::string expected;
    } rows[] = {
        {"/s", false, "exit 3; error 2; "},
        {"", false, "exit 3; error 2; " + shell_box},
        {"", true, "exit 3; error 2; " + shell_box},
    };
    for (const auto& row : rows) {
        machine.record = {};
        machine.mutexes.clear();
        use_os(6, 1, true, 8 | 16);
        if (row.ship_folder) write_file("C:\\Package\\DotNetFx\\readme.txt", "");
        const int exit_code = run(row.command_line);
        std::string outcome =
            "exit " + std::to_string(exit_code) + "; error " + std::to_string(shell_starts().at(0).error) + "; ";
        for (const record::Box& box : machine.record.boxes) {
            char style[16];
            std::snprintf(style, sizeof style, "%X", box.style);
            outcome += box.caption + " | " + box.text + " | " + style + " | " + std::to_string(box.answer) + " | " +
                       (box.shown_by_shell ? "shell; " : "program; ");
        }
        EXPECT_EQ(outcome, row.expected) << row.command_line;
        EXPECT_EQ(engine_command_line(), "") << row.command_line;
    }
}

TEST_F(PrerequisiteRun, NeverOnWindows8OrLaterWhateverTheFlags)
{
    for (const auto& [major, minor] : {std::pair{6u, 2u}, std::pair{6u, 3u}, std::pair{10u, 0u}}) {
        machine.record.processes.clear();
        machine.mutexes.clear();
        use_os(major, minor, true, 8 | 16);
        EXPECT_EQ(run("/s"), SUCCESS) << major << '.' << minor;
        EXPECT_TRUE(shell_starts().empty()) << major << '.' << minor;
    }
}

TEST_F(PrerequisiteRun, WithoutTheFlagNothingIsInstalledFirst)
{
    use_os(6, 1, true, 8);
    EXPECT_EQ(run("/s"), SUCCESS);
    EXPECT_TRUE(shell_starts().empty());
}

}  // namespace
