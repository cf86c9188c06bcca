#include "log/directory_path.h"

#include <algorithm>
#include <cstring>

#include "common/bounded_string.h"
#include "platform/file.h"
#include "platform/path.h"

namespace {
constexpr int PATH_WITHOUT_DRIVE = 3;  // ERROR_PATH_NOT_FOUND
}

int CreateDirectoryPath(const char* path)
{
    if (path == nullptr || path[0] == '\0') return PATH_WITHOUT_DRIVE;
    // A colon is never the second byte of a double-byte character, so this
    // finds the drive's ":\" in any code page; the backslashes after it are
    // looked for by characters, since "表" (95 5C in 932) holds the backslash
    // byte and is no separator.
    const char* drive = std::strstr(path, ":\\");
    if (drive == nullptr || drive == path) return PATH_WITHOUT_DRIVE;
    const char* file_name = PATH_FindLastOf(path, "\\");

    char folder[PATH_CAPACITY];
    bounded_copy(folder, 4, drive - 1);  // "X:\"
    // The names between the root and the last backslash, one at a time.
    const char* name = drive + 2;
    while (name < file_name) {
        const char* end = PATH_FindFirstOf(name, "\\");
        const size_t length = static_cast<size_t>(end - name);
        char component[PATH_CAPACITY];
        bounded_copy(component, std::min<size_t>(length + 1, sizeof component), name);
        // A path too long for the folder buffer leaves it empty: stop rather
        // than go on below the current folder.
        if (!PATH_Append(folder, component)) break;
        FILE_CreateDirectory(folder);
        name = end + 1;
    }
    return 0;
}
