// Touch pads that a package supports on Windows 7 only.
#pragma once

int check_support_os_option();
int query_acpi_device_id();
