// Whole runs of the program on the simulated machine: a package folder at
// C:\Package with its settings file, engine and INF, and helpers to run the
// program and read what it did.
#pragma once

#include <cstdint>
#include <string>

#include "support/sim_fixture.h"

// The bytes of a minimal executable image for the given machine type.
std::string pe_image(uint16_t machine_type);

class PackageTest : public SimMachineTest {
protected:
    void SetUp() override;

    // The machine's Windows: version, platform id and bitness.
    void set_os(uint32_t major, uint32_t minor, bool is_64bit, uint32_t platform_id = 2);

    void write_settings(const std::string& ini) { write_file("C:\\Package\\Setup.ini", ini); }
    void write_engine(const std::string& relative_path, uint16_t machine_type);
    void write_inf(const std::string& relative_path);
    void set_engine_exit_code(uint32_t exit_code);

    // Runs the program as a new process with these words after its name
    // (UTF-8, as the host gives them); returns the process exit code.
    int run(const std::string& arguments);

    // The command line of the one engine start, "" when none was attempted.
    std::string engine_command_line() const;
};
