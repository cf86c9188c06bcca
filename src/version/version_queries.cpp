#include "version/version_queries.h"

#include <cstring>

#include "common/formatted_input.h"
#include "platform/inf.h"
#include "platform/path.h"
#include "setup/context.h"

namespace {

constexpr uint32_t REGISTRY_VALUE_CAPACITY = 260;
constexpr const char* POINTING_STICK_KEY = "Software\\Vexa\\VexaStick\\Common\\Current";
constexpr const char* TOUCH_PAD_KEY = "Software\\Vexa\\Kurso";
constexpr const char* POINTING_STICK_INF = "VxPS2.inf";

// "ProductVer" of the key: the second word of the value, or its only word.
int query_product_ver(const char* key_name, char* version)
{
    char value[REGISTRY_VALUE_CAPACITY] = {};
    if (REG_ReadSz(REG_Root::LocalMachine, key_name, "ProductVer", value) != 0) return 0;
    // A value of exactly 260 bytes comes without its NUL.
    const size_t length = strnlen(value, sizeof value);

    char first_word[VERSION_TEXT_CAPACITY];
    size_t position = 0;
    if (scan_word(value, length, &position, first_word, sizeof first_word) &&
        scan_word(value, length, &position, version, VERSION_TEXT_CAPACITY)) {
        return 1;
    }
    position = 0;
    if (scan_word(value, length, &position, version, VERSION_TEXT_CAPACITY)) return 1;
    return -2;
}

}  // namespace

int scan_dotted_version(const char* text, int32_t numbers[4])
{
    const size_t length = std::strlen(text);
    size_t position = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (position >= length || text[position] != '.') return i;
            ++position;
        }
        if (!scan_decimal(text, length, &position, &numbers[i])) return i;
    }
    return 4;
}

uint32_t REG_ReadSz(REG_Root root, const char* pKeyName, const char* value_name, char* pValue)
{
    uint32_t access = REG_KEY_READ;
    if (reads_64bit_view(g_process.os_version)) access |= REG_KEY_WOW64_64KEY;

    REG_Key key = nullptr;
    const uint32_t opened = REG_OpenKey(root, pKeyName, access, &key);
    if (opened != 0) return opened;
    uint32_t size = REGISTRY_VALUE_CAPACITY;
    const uint32_t queried = REG_QueryValue(key, value_name, nullptr, reinterpret_cast<uint8_t*>(pValue), &size);
    REG_CloseKey(key);
    return queried;
}

int loc_QueryPstDrvVersion(char* version)
{
    return query_product_ver(POINTING_STICK_KEY, version);
}

int loc_QueryTpdDrvVersion(char* version)
{
    return query_product_ver(TOUCH_PAD_KEY, version);
}

const char* inf_file_name(const char* inf_path)
{
    const char* separator = PATH_FindLastOf(inf_path, "\\");
    return separator != nullptr ? separator + 1 : inf_path;
}

const char* installed_version_key(const char* inf_path)
{
    return std::strcmp(inf_file_name(inf_path), POINTING_STICK_INF) == 0 ? POINTING_STICK_KEY : TOUCH_PAD_KEY;
}

int query_installed_version(const char* inf_path, char* version)
{
    return query_product_ver(installed_version_key(inf_path), version);
}

int loc_QueryInfFilesInf(const char* inf_path, char* version, int capacity)
{
    if (capacity <= 0) return 0;
    INF_Handle inf = INF_Open(inf_path, INF_WIN4_STYLE);
    if (inf == nullptr) return 0;
    // DriverVer = date, version: the version is field 2.
    INF_Line line{};
    const bool read = INF_FindFirstLine(inf, "Version", "DriverVer", &line) &&
                      INF_GetStringField(&line, 2, version, static_cast<uint32_t>(capacity), nullptr);
    INF_Close(inf);
    return read ? 1 : 0;
}

int loc_CopmareDrvVersion(const char* installed, const char* package)
{
    int32_t installed_numbers[4];
    int32_t package_numbers[4];
    if (scan_dotted_version(installed, installed_numbers) < 4) return INSTALLED_VERSION_MALFORMED;
    if (scan_dotted_version(package, package_numbers) < 4) return PACKAGE_VERSION_MALFORMED;
    for (int i = 0; i < 4; ++i) {
        if (installed_numbers[i] < package_numbers[i]) return OLDER_INSTALLED;
        if (installed_numbers[i] > package_numbers[i]) return NEWER_INSTALLED;
    }
    return SAME_INSTALLED;
}
