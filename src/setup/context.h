// The setup context and the process-wide values beside it. Both are static
// storage: zero at process start, filled in the order of the main sequence and
// never reset during a run.
#pragma once

#include <cstdint>

#include "platform/sys.h"
#include "platform/types.h"

// Result codes of a run.
constexpr int SUCCESS = 0;
constexpr int DEP_SOFT_ERROR = 3;
constexpr int DEP_HARD_ERROR = 4;
constexpr int ERROR = 1603;  // never share a file with <windows.h>, which has a macro of this name
constexpr int UNKNOWN_OPTION = 1608;
constexpr int ERROR_INSTALL_PLATFORM_UNSUPPORTED = 1633;
constexpr int REBOOT_REQUIRED = 1641;
constexpr int COMPLETED = 9999;  // internal: requested work finished, ends with SUCCESS

// support_flags bits.
constexpr uint32_t SUPPORT_PROPERTIES = 1;
constexpr uint32_t SUPPORT_EXTRACT_ALL = 2;
constexpr uint32_t SUPPORT_LOG = 4;
constexpr uint32_t SUPPORT_EXIT_CODE = 8;
constexpr uint32_t SUPPORT_PREREQUISITES = 16;
constexpr uint32_t LAYOUT2_SUPPORT_PRESET = 31;

constexpr int OS_SLOT_COUNT = 8;
constexpr int MAX_BUS_TYPES = 5;
constexpr int MAX_CONFIGURATION_SECTIONS = 10;
// A run extracts once per property token at most, and the parse looks at 7.
constexpr int MAX_EXTRACTIONS = 7;

struct os_slot {
    uint32_t supported;
    uint32_t os_index;
    char section_name[256];
    uint32_t has_extract_subfolder;
    char extract_subfolder[260];
    uint32_t section_index;
};

struct bus_type_entry {
    char bus_name[256];
    os_slot os_slots[OS_SLOT_COUNT];
};

struct configuration_section {
    char section_name[256];
    uint32_t matched;
    char path[260];
    char subfolder[260];
    char main_inf[260];
    char inf_full_path[260];
};

struct SetupContext {
    char engine_path[260];
    char default_options[64];
    char silent_options[64];
    uint32_t support_flags;
    char settings_file_path[260];
    uint32_t major_version;
    uint32_t minor_version;
    uint32_t bus_count;
    bus_type_entry bus_types[MAX_BUS_TYPES];
    uint32_t section_count;
    configuration_section configuration_sections[MAX_CONFIGURATION_SECTIONS];
};

// A multi-string list: NUL-terminated strings one after another, ended by an
// empty string. No buffer at all behaves as an empty list. The list knows
// its size and grows by doubling, so that listing thousands of devices costs
// time in proportion to their number.
struct MultiStringList {
    char* buffer = nullptr;
    size_t size = 0;      // bytes in use, the final NUL included (0 without a buffer)
    size_t capacity = 0;  // bytes of the buffer
};

// The process-wide values.
struct ProcessState {
    SetupContext context;
    SYS_OsVersion os_version;
    char command_line[260];
    char custom_request_name[260];
    int rtl_language;
    int result_code_override;
    int log_requested;
    uint32_t dpinst_return_code;
    char inf_folder[260];
    char installed_version[260];
    char package_version[260];
    uint32_t force;
    uint32_t fresh_install;
    uint32_t force_restart;
    char log_file[260];
    uint32_t debug;
    uint32_t extract_drivers;
    // The machine's device instance IDs, listed once per process on first use.
    MultiStringList device_instance_ids;
    bool device_instance_ids_built;
    // Short ACPI ID of the first present ACPI pointing device.
    char acpi_device_id[260];
    // Set when the engine-log save of a silent DEBUG run moved the engine's
    // log aside; never cleared, as a run saves and restores once.
    bool engine_log_saved;
    // The run's final result code, kept for whoever hosts the run (setup-sim
    // prints it beside the exit code), and whether the process ended at once
    // without its end of run.
    int final_result;
    bool ended_at_once;
    // The engine section whose "Path", "Default", "Silent" and "Support" the
    // engine fields hold ("" while none was applied), kept for the host too:
    // the package check shows which section a run took.
    char engine_section[256];
    // The full paths of the "production" folders this run's extractions
    // fill, in the order they began: no copy of the run reads from them.
    char extraction_trees[MAX_EXTRACTIONS][260];
    uint32_t extraction_tree_count;
};

extern ProcessState g_process;

// Start of a new process: everything back to zero, the cached device list
// released. The program itself never calls this; a host that runs the program
// several times in one Linux process (tests, setup-sim) does, before each run.
void reset_process_state();
