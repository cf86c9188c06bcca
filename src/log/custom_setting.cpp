#include "log/custom_setting.h"

#include <cstring>

#include "config/settings_file.h"
#include "log/log_paths.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/path.h"
#include "setup/context.h"

namespace {
constexpr uint32_t REQUEST_UNIT = 260;  // bytes of request text per "CustomRequestCnt"
}

void delete_custom_setting_file()
{
    char path[PATH_CAPACITY];
    expanded_path("%SYSTEMDRIVE%", "\\VexaCustomSetting\\VexaCoustomSet.ini", path);
    FILE_Delete(path);
}

void write_custom_setting_file()
{
    const char* section = g_process.custom_request_name;
    if (section[0] == '\0') return;
    const uint32_t units = read_setting_int(section, "CustomRequestCnt", 0);
    // The settings file's count is trusted only as far as a buffer of it can
    // be had: a count whose byte size does not fit 32 bits is refused.
    if (units == 0 || units > UINT32_MAX / REQUEST_UNIT) return;
    const uint32_t capacity = units * REQUEST_UNIT;
    auto* request = static_cast<char*>(MEM_Alloc(capacity));
    if (request == nullptr) return;
    read_setting_string(section, "CustomRequest", request, capacity, "");

    char path[PATH_CAPACITY];
    expanded_path("%SYSTEMDRIVE%", "\\VexaCustomSetting", path);
    FILE_CreateDirectory(path);
    PATH_Append(path, "VexaCoustomSet.ini");
    // A request that could not be written whole is no request: the engine
    // must not act on a part of it, or on an earlier run's file.
    FILE_Handle file = FILE_CreateForWrite(path);
    const bool written =
        file != nullptr && FILE_Write(file, request, static_cast<uint32_t>(strnlen(request, capacity)));
    if (file != nullptr) FILE_Close(file);
    if (!written) FILE_Delete(path);
    MEM_Free(request);
}
