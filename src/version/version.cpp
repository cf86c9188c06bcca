#include "version/version.h"

// Not yet built: version queries, the overwrite decision and the version-library
// check. Until they are, no version is known, nothing is asked and every check
// passes, so the engine always runs.

int loc_QueryInfFilesInf(const char* /*inf_path*/, char* /*version*/, int /*capacity*/)
{
    return 0;
}

int loc_QueryPstDrvVersion(char* /*version*/)
{
    return 0;
}

int loc_QueryTpdDrvVersion(char* /*version*/)
{
    return 0;
}

int CheckVersionResource(const char* /*inf_path*/)
{
    return 1;
}

int ShowOverwriteMsg(ModuleHandle /*instance*/, const char* /*inf_path*/)
{
    return 1;
}

int CheckOverwrite(ModuleHandle /*instance*/, const char* /*inf_path*/, int* overwrite_class)
{
    *overwrite_class = -1;
    return 0;
}
