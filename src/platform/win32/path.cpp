#include <windows.h>
#include <shlwapi.h>

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
