// Touch pads that a package supports on Windows 7 only: the settings file lists
// their short ACPI IDs under [SupportOS_Option] "OnlyWin7".
#pragma once

#include <cstdint>

// The "OnlyWin7" list is read into a buffer of this many characters.
constexpr uint32_t ONLY_WIN7_CAPACITY = 2048;

// [SupportOS_Option] "OnlyWin7" of the settings file into `list` (of
// ONLY_WIN7_CAPACITY characters); "" when the key is not there.
void read_only_win7_list(char* list);

// 1 when the installation may go on, 0 when the machine's pointing device is
// listed and the running Windows is not 7.
int check_support_os_option();

// Finds the first present mouse-class device whose first hardware ID holds
// "ACPI\" and puts its short ID into g_process.acpi_device_id: nonzero when
// found, 0 (and acpi_device_id untouched) when not.
int query_acpi_device_id();
