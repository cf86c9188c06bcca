// setup-sim check: what a driver package does on each Windows, and what is
// wrong with it. Nothing here decides what the program does: every answer
// comes from running the program's own routines (settings, support matrix,
// INF models, engine platform check, ACPI check, version library, the whole
// run) on simulated machines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

// A machine profile the package is tried on as well (--machines).
struct ProfileMachine {
    std::string name;  // the profile's file name
    sim::Machine machine;
};

// The machine of a row that has none of the package's touch pads.
constexpr const char* NO_TOUCH_PAD = "no touch pad";

// One run of the program on one machine, silent ("Setup.exe /s") unless
// said otherwise, and what the program's routines say around it on the same
// machine.
struct CheckRow {
    std::string windows;       // "Windows 10 x64"
    std::string windows_version;  // "10.0.19045", as the program reads it
    std::string machine;       // "ACPI\VXB0801", "no touch pad", "ACPI\VXB0801, 19.3.1.1 installed" or the profile's name
    std::string device;        // the hardware ID of the package's touch pad the machine has, or ""
    std::string installed_version;  // the driver version the machine has installed, or "" for none
    bool interactive = false;  // run as "Setup.exe", without options; its questions answered Yes
    std::string section;       // the engine or configuration section applied; "" when none was
    std::string engine_path;   // its "Path"
    std::string engine_image;  // "x64", "x86", another machine type, "missing" or "not an image"
    bool engine_fits = false;  // CheckExeAndPlatform accepts it
    uint32_t engine_message = 0;  // the message it shows when it refuses (2, 3), or 0
    std::string inf;           // the package INF the run uses, in the package; "" when none is found
    std::string inf_path;      // the same as the program names it on the machine
    uint32_t inf_message = 0;  // the message the search for it shows when it finds none, or 0
    bool driver_ver_read = false;
    std::string driver_ver;    // its DriverVer version
    bool version_library_agrees = true;
    std::string command_line;  // the engine's command line in the run's mode
    std::string acpi_device_id;
    bool acpi_refuses = false;
    std::vector<std::string> prerequisites;  // installers started before the engine, with parameters
    std::string failed_program;  // in the package: the engine or installer that could not start, or ""
    std::string wanted_section;  // layout 1: the engine section the program looks for here, "" when it has none
    bool engine_ran = false;
    uint32_t engine_exit_code = 0;
    // "installs", "not_supported", "refused", "version_library_mismatch",
    // "prerequisite_failed", "engine_not_started" or "ended".
    std::string outcome;
    std::string description;  // the outcome for people, with its reason
    int result = 0;
    int exit_code = 0;
    uint32_t code_page = 1252;  // the machine's ANSI code page, the one of the row's texts
};

// An OS slot that a bus type's support entry gives to a configuration
// section, with the models sections that the section's INF has for it.
struct SupportedSlot {
    std::string bus;
    std::string support_key;
    uint32_t os_index = 0;
    std::string windows;
    std::string section;
    std::string inf_path;  // Windows path, as the program joined it
    std::string inf;       // the same in the package
    std::vector<std::string> models_sections;
};

// A hardware ID that a device must carry for a configuration section to
// match on one OS slot: its instance ID must contain the component.
struct HardwareIdEntry {
    std::string windows;
    uint32_t os_index = 0;
    std::string section;
    std::string inf;       // in the package
    std::string inf_path;  // Windows path, as the program joined it
    std::string models_section;
    int entry = 0;               // the line's index in the models section, as a section read lists them
    uint32_t line_number = 0;    // its line in the INF, from 1
    std::string line;  // the model line as read
    std::string hardware_id;
    std::string component;  // "" when the program finds none in it
};

// Something wrong with the package, named by the file and line it
// concerns, with what the program does because of it. In UTF-8.
struct Finding {
    // "error": a run on some machine fails or does what the package cannot
    // have meant; "warning": it works, but not as written or not everywhere;
    // "note": what the check assumed.
    std::string severity;
    std::string kind;
    std::string file;      // in the package: "Setup.ini", "I2C\VxI2C.inf", "PS2" (a folder)
    uint32_t line = 0;     // from 1; 0 for the file or folder as a whole
    std::string subject;   // what in it: "[PS2] x64_support_win81=yes, CfgPS2, no", or ""
    std::string text;
};

// The rows, slots and hardware IDs hold text as the program has it, in the
// ANSI code page of the machine it ran on (a row's `code_page`, `code_page`
// for the rest); the report shows them in UTF-8.
struct PackageCheck {
    uint32_t layout = 1;
    bool has_settings_file = true;
    uint32_t code_page = 1252;  // of the built-in machines
    std::vector<CheckRow> rows;
    std::vector<SupportedSlot> supported_slots;  // layout 2
    std::vector<HardwareIdEntry> hardware_ids;   // layout 2
    std::vector<Finding> findings;
};

// A hardware ID as Windows lists a device that has it: in upper case.
std::string listed_hardware_id(const std::string& hardware_id);

// The Windows of an OS slot ("Windows 10 x64" for os_index 7).
const char* os_slot_windows(uint32_t os_index);

class CheckProgress;

// False with a message when the package cannot be read (no folder) or
// cannot be placed on a machine. A package without Setup.ini is checked on
// the program's defaults, as Setup.exe runs it. `progress`, when given,
// hears of every run.
bool check_package(const std::filesystem::path& package, const std::vector<ProfileMachine>& profiles,
                   PackageCheck* check, std::string* error, CheckProgress* progress = nullptr);
