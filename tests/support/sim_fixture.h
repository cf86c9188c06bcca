// A fresh simulated machine for each test: drive C: is a temporary folder
// holding only the Windows folder (C:\Windows\System32), the program runs as
// C:\Package\Setup.exe, and the process-wide state starts at zero as in a
// new process.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/machine.h"

class SimMachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Write a file at a Windows path on the machine (folders are created).
    void write_file(const std::string& windows_path, const std::string& content);
    // Read a file at a Windows path; "" when it does not exist.
    std::string read_file(const std::string& windows_path);
    bool file_exists(const std::string& windows_path);
    // A registry value ("HKLM\Software\...") in one view of the registry, or in both.
    void set_registry_value(const std::string& key, const std::string& name, const std::string& data,
                            sim::RegistryView view = sim::RegistryView::Both, uint32_t type = 1);

    sim::Machine machine;
    std::string drive_root;  // host folder behind C:
};
