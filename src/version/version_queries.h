// The installed driver's version (from the registry), the package's version
// (from its INF) and their comparison. Versions travel as text; they become
// numbers only inside the comparison.
#pragma once

#include "platform/reg.h"
#include "platform/sys.h"
#include "platform/types.h"

// Version texts live in buffers of this many characters.
constexpr int VERSION_TEXT_CAPACITY = 260;

// Results of loc_CopmareDrvVersion.
constexpr int OLDER_INSTALLED = 0;
constexpr int SAME_INSTALLED = 1;
constexpr int NEWER_INSTALLED = 2;
constexpr int INSTALLED_VERSION_MALFORMED = -1;  // not four dotted numbers
constexpr int PACKAGE_VERSION_MALFORMED = -2;

// Whether REG_ReadSz asks for the 64-bit registry view (KEY_WOW64_64KEY):
// on Windows XP and every later NT; a 32-bit Windows ignores it.
inline bool reads_64bit_view(const SYS_OsVersion& os)
{
    if (os.platform_id != SYS_PLATFORM_WIN32_NT) return false;
    return (os.major == 5 && os.minor >= 1) || os.major == 6 || (os.major >= 6 && os.minor >= 3) || os.major >= 10;
}

// One registry value into `pValue` (260 bytes), read from the 64-bit view on
// 64-bit Windows although the program is 32-bit. 0 or the Windows error code
// of the open or the query (234 for a value of more than 260 bytes).
uint32_t REG_ReadSz(REG_Root root, const char* pKeyName, const char* value_name, char* pValue);

// The installed version of the pointing-stick and of the touch-pad driver
// into a buffer of VERSION_TEXT_CAPACITY: the second word of "ProductVer", or
// its only word. 1 when found; 0 when the value cannot be read (no such
// driver installed; `version` is left as it was); -2 when the value holds no
// word.
int loc_QueryPstDrvVersion(char* version);
int loc_QueryTpdDrvVersion(char* version);

// The file-name part of an INF path (after its last "\").
const char* inf_file_name(const char* inf_path);

// The key under HKEY_LOCAL_MACHINE whose "ProductVer" holds the installed
// version of the family the package INF belongs to: an INF named exactly
// "VxPS2.inf" is the pointing stick's, any other the touch pad's.
const char* installed_version_key(const char* inf_path);

// The installed version of the family the package INF belongs to: an INF
// named exactly "VxPS2.inf" is the pointing stick's, any other the touch pad's.
// Results as above.
int query_installed_version(const char* inf_path, char* version);

// The version field of the INF's DriverVer line (section "Version", the text
// after the date). 1 when read; 0 on any failure, leaving `version` as it was.
int loc_QueryInfFilesInf(const char* inf_path, char* version, int capacity);

// The version text read as sscanf(text, "%d.%d.%d.%d") reads it, a number
// beyond 32 bits taken modulo 2^32 as the run-time library does: how many of
// the four numbers were read.
int scan_dotted_version(const char* text, int32_t numbers[4]);

// Installed against package version, each read as "%d.%d.%d.%d":
// OLDER_INSTALLED, SAME_INSTALLED, NEWER_INSTALLED, or -1 (installed text
// malformed, tested first) or -2 (package text malformed).
int loc_CopmareDrvVersion(const char* installed, const char* package);
