#include "log/file_append.h"

#include <cstdint>

#include "platform/file.h"

bool append_file(const char* destination, const char* source)
{
    FILE_Handle from = FILE_OpenExistingForRead(source);
    if (from == nullptr) return false;
    FILE_Handle to = FILE_OpenForAppend(destination);
    if (to == nullptr) {
        FILE_Close(from);
        return false;
    }
    uint8_t chunk[4096];
    uint32_t read = 0;
    bool joined = true;
    while ((joined = FILE_Read(from, chunk, sizeof chunk, &read)) && read > 0) {
        if (!FILE_Write(to, chunk, read)) {
            joined = false;
            break;
        }
    }
    FILE_Close(to);
    FILE_Close(from);
    return joined;
}
