// Every operation of a run made to fail in turn, one run per operation: what
// must hold whichever fails. The simulated machine counts the run's file,
// folder, registry, process and memory operations and fails the one it is
// told to.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t ACCESS_DENIED = 5;
const sim::OperationKind KINDS[] = {sim::OperationKind::File, sim::OperationKind::Directory,
                                    sim::OperationKind::Registry, sim::OperationKind::Process,
                                    sim::OperationKind::Memory};
const char* const KIND_NAMES[] = {"file", "folder", "registry", "process", "memory"};

class FailureWalk : public PackageTest {
protected:
    // A run on a freshly laid-out drive, with the nth operation of the kind
    // failing (0: none); returns the exit code.
    int run_failing(sim::OperationKind kind, uint32_t nth, const char* command_line)
    {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(drive_root, ignored)) fs::remove_all(entry.path(), ignored);
        lay_out();
        machine.record.processes.clear();
        machine.record.boxes.clear();
        machine.mutexes.clear();
        for (uint32_t& count : machine.operations) count = 0;
        machine.injected_failure = {kind, nth, ACCESS_DENIED};
        return run(command_line);
    }

    // Walks the failure over every operation of every kind the run makes and
    // collects what `check` says is wrong about each outcome.
    template <typename Check>
    std::vector<std::string> walk(const char* command_line, Check check)
    {
        std::vector<std::string> faults;
        const int clean_exit = run_failing(sim::OperationKind::File, 0, command_line);
        uint32_t counts[sim::OPERATION_KINDS];
        std::copy(std::begin(machine.operations), std::end(machine.operations), counts);
        for (const sim::OperationKind kind : KINDS) {
            const int k = static_cast<int>(kind);
            for (uint32_t nth = 1; nth <= counts[k]; ++nth) {
                const int exit_code = run_failing(kind, nth, command_line);
                const std::string fault = check(exit_code, clean_exit);
                if (!fault.empty()) faults.push_back(std::string(KIND_NAMES[k]) + " #" + std::to_string(nth) + ": " + fault);
                ++runs;
            }
        }
        return faults;
    }

    bool engine_ran() const
    {
        for (const record::Process& process : machine.record.processes) {
            if (process.kind == "create" && process.started) return true;
        }
        return false;
    }

    virtual void lay_out() = 0;
    uint32_t runs = 0;
};

// A silent DEBUG install with a custom request, over an engine log that
// already holds history.
class InstallWalk : public FailureWalk {
protected:
    void lay_out() override
    {
        set_os(10, 0, true);
        write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=13\r\n"
                       "[MyReq]\r\nCustomRequestCnt=1\r\nCustomRequest=hello\r\n");
        write_engine("x64\\DPInst.exe", 0x8664);
        write_inf("x64\\Touch.inf");
        write_file("C:\\Windows\\DpInst.log", "OLD HISTORY\r\n");
        write_file("C:\\VexaCustomSetting\\VexaCoustomSet.ini", "stale request of an earlier run");
        machine.programs["dpinst.exe"].engine_log_lines = {"THIS RUN"};
    }
};

TEST_F(InstallWalk, NoHistoryLostNoStaleRequestNoResultChangedBySideEffects)
{
    const auto faults = walk("/s /vDEBUG=true /MyReq", [&](int exit_code, int clean_exit) {
        const std::string logs = read_file("C:\\Windows\\DpInst.log") + read_file("C:\\Windows\\DpInst_org.log");
        const std::string request = read_file("C:\\VexaCustomSetting\\VexaCoustomSet.ini");
        if (logs.find("OLD HISTORY") == std::string::npos) return std::string("engine log history lost");
        // A run that reached the request step leaves this run's request
        // (empty when its text could not be read) or none, never the old one.
        if (engine_ran() && file_exists("C:\\VexaCustomSetting\\VexaCoustomSet.ini") && request != "hello" &&
            !request.empty()) {
            return "request file holds \"" + request + "\"";
        }
        // Once the engine has run, the result is its own: nothing after it
        // (log, merge) may change the exit code.
        if (engine_ran() && exit_code != clean_exit) return "exit code " + std::to_string(exit_code);
        return std::string();
    });
    EXPECT_EQ(faults, std::vector<std::string>{});
    EXPECT_GT(runs, 30u);
}

class ExtractionWalk : public FailureWalk {
protected:
    void lay_out() override
    {
        write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=10\r\n");
        write_file("C:\\Package\\Vi32\\a.sys", "32");
        write_file("C:\\Package\\Vi32\\Sub\\b.cat", "32c");
        write_file("C:\\Package\\Vi64\\a.sys", "64");
    }
};

TEST_F(ExtractionWalk, SuccessOnlyForTheWholeTreeAndFailureAfterTryingTheRest)
{
    const auto files_below = [](const std::string& host) {
        size_t count = 0;
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(host, ignored)) count += entry.is_regular_file() ? 1 : 0;
        return count;
    };
    // A failed settings read can keep the run from extracting at all (it
    // then installs, on defaults); the result tells which way it went.
    const auto faults = walk("/extract_all:C:\\out", [&](int, int) {
        const size_t copied = files_below(sim::host_path("C:\\out"));
        const int result = g_process.final_result;
        if (result == SUCCESS && copied != 12) return "success with " + std::to_string(copied) + " of 12 files";
        // One failed operation costs one OS folder at most (2 files), never the rest.
        if (result == DEP_SOFT_ERROR && copied < 10) return "gave up after " + std::to_string(copied) + " files";
        if (result != SUCCESS && result != DEP_SOFT_ERROR && copied != 0) return "extracted, then " + std::to_string(result);
        return std::string();
    });
    EXPECT_EQ(faults, std::vector<std::string>{});
    EXPECT_GT(runs, 30u);
}

// A layout-2 install whose touch pad is found among the machine's devices:
// the device list, the models and the ACPI list all take memory.
class LayoutTwoWalk : public FailureWalk {
protected:
    void lay_out() override
    {
        set_os(10, 0, true);
        write_settings("[metadata]\r\nmajor_version=2\r\n[bus]\r\nsupport_types=I2C\r\n[I2C]\r\n"
                       "x64_support_win10=yes,CfgI2C,no\r\n[CfgI2C]\r\nsubfolder=I2C\r\nmain_inf=VxI2C.inf\r\n"
                       "Path=\\I2C\\DPInst.exe\r\nSupport=12\r\n[SupportOS_Option]\r\nOnlyWin7=VXB0802\r\n");
        write_file("C:\\Package\\I2C\\VxI2C.inf",
                   "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=11/20/2026,19.3.1.2\r\n[Manufacturer]\r\n"
                   "%V%=Models,NTamd64.10.0\r\n[Models.NTamd64.10.0]\r\n%D%=Install, ACPI\\VXB0801\r\n");
        write_engine("I2C\\DPInst.exe", 0x8664);
        machine.devices = {{"PCI\\VEN_8086&DEV_9D3D\\3&11583659&0&B0", "{}", true, {}},
                           {"ACPI\\VXB0801\\4&1D8F0A&0", "{4D36E96F-E325-11CE-BFC1-08002BE10318}", true,
                            {"ACPI\\VXB0801", "*VXB0801"}}};
    }
};

// Whatever fails, the run installs the matched engine or, when the touch pad
// could not be seen, says the driver does not support it; never a crash, a
// wrong engine or a refusal of a supported machine.
TEST_F(LayoutTwoWalk, EveryFailureEndsInTheInstallOrTheNotice)
{
    const auto faults = walk("/s", [&](int, int) {
        const std::string engine = machine.record.processes.empty() ? "" : machine.record.processes.back().command_line;
        const bool notice = !machine.record.boxes.empty() && machine.record.boxes[0].text == "This driver does not support your touchpad";
        const int result = g_process.final_result;
        if (!engine.empty() && engine != "\"C:\\Package\\I2C\\DPInst.exe\" /f /sw /se") return "engine " + engine;
        // Installed, or told the touch pad is not supported: one or the other.
        if (result == SUCCESS && engine.empty() == notice) return std::string();
        // A failed read of the engine or its folder refuses as a missing file does.
        if (result == ERROR_INSTALL_PLATFORM_UNSUPPORTED || result == ERROR) return std::string();
        return "result " + std::to_string(result) + (notice ? " after the notice" : "");
    });
    EXPECT_EQ(faults, std::vector<std::string>{});
    EXPECT_GT(runs, 30u);
}

}  // namespace
