#include "log/log_paths.h"

#include "platform/path.h"
#include "platform/sys.h"

void expanded_path(const char* folder_text, const char* tail, char* path)
{
    path[0] = '\0';
    if (SYS_ExpandEnvironmentStrings(folder_text, path, PATH_CAPACITY) > PATH_CAPACITY) path[0] = '\0';
    PATH_Append(path, tail);
}

void engine_log_path(char* path)
{
    expanded_path("%SYSTEMROOT%", "\\DpInst.log", path);
}
