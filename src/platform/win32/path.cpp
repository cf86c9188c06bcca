#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "platform/path.h"

bool PATH_Append(char* path, const char* more)
{
    return PathAppendA(path, more) != FALSE;
}

bool PATH_RemoveFileSpec(char* path)
{
    return PathRemoveFileSpecA(path) != FALSE;
}

void PATH_RemoveExtension(char* path)
{
    PathRemoveExtensionA(path);
}

bool PATH_AddExtension(char* path, const char* extension)
{
    return PathAddExtensionA(path, extension) != FALSE;
}

void PATH_StripPath(char* path)
{
    PathStripPathA(path);
}

namespace {

// The first or the last character of `text` that is one of `characters`. A
// lead byte of the ANSI code page takes the byte after it along, as CharNextA
// steps.
const char* scan(const char* text, const char* characters, bool last)
{
    const char* found = nullptr;
    for (const char* at = text; at != nullptr && *at != '\0';) {
        if (std::strchr(characters, *at) != nullptr) {
            found = at;
            if (!last) break;
        }
        at += IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1] != '\0' ? 2 : 1;
    }
    return found;
}

}  // namespace

const char* PATH_FindFirstOf(const char* text, const char* characters)
{
    return scan(text, characters, false);
}

const char* PATH_FindLastOf(const char* text, const char* characters)
{
    return scan(text, characters, true);
}
