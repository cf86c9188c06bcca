// The copies are the program's own, over the platform's file functions: no
// command interpreter is started, so no character of a destination typed on
// the command line can be taken for a command.
#include "extract/extraction.h"

#include <cstring>
#include <initializer_list>

#include "common/bounded_string.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/sys.h"

const char* const os_folder_names[OS_SLOT_COUNT] = {
    "Windows7-x86",   "Windows7-x64",   "Windows8-x86",  "Windows8-x64",
    "Windows8.1-x86", "Windows8.1-x64", "Windows10-x86", "Windows10-x64",
};

namespace {

bool is_folder(const char* path)
{
    const uint32_t attributes = FILE_GetAttributes(path);
    return attributes != FILE_INVALID_ATTRIBUTES && (attributes & FILE_ATTR_DIRECTORY) != 0;
}

// Creates the folder and whichever of its parents are missing. Windows takes
// "/" for a separator too.
bool create_folder(const char* path)
{
    if (FILE_CreateDirectory(path)) return true;
    const uint32_t error = SYS_GetLastError();
    if (error == ERR_ALREADY_EXISTS) return is_folder(path);
    if (error != ERR_PATH_NOT_FOUND) return false;

    char parent[PATH_CAPACITY];
    bounded_copy(parent, sizeof parent, path);
    char* separator = std::strrchr(parent, '\\');
    char* slash = std::strrchr(parent, '/');
    if (slash != nullptr && (separator == nullptr || slash > separator)) separator = slash;
    if (separator == nullptr || separator == parent) return false;
    *separator = '\0';
    if (!create_folder(parent)) return false;
    return FILE_CreateDirectory(path) || (SYS_GetLastError() == ERR_ALREADY_EXISTS && is_folder(path));
}

bool is_dot_entry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The files of `source` and, recursively, of its subfolders. The destination
// folder is made only once a file is to be copied into it, so empty folders
// are not copied. False when anything could not be copied.
bool copy_folder_contents(const char* source, const char* destination)
{
    char pattern[PATH_CAPACITY];
    bounded_copy(pattern, sizeof pattern, source);
    if (!PATH_Append(pattern, "*")) return false;
    FILE_FindData found{};
    FILE_FindHandle search = FILE_FindFirst(pattern, &found);
    if (search == nullptr) {
        // No such folder (or nothing in it) is nothing to copy; a folder that
        // cannot be listed is a failed copy.
        const uint32_t error = SYS_GetLastError();
        return error == ERR_FILE_NOT_FOUND || error == ERR_PATH_NOT_FOUND;
    }

    bool copied_all = true;
    bool destination_made = false;
    do {
        if (is_dot_entry(found.name) || (found.attributes & (FILE_ATTR_HIDDEN | FILE_ATTR_SYSTEM)) != 0) continue;
        char from[PATH_CAPACITY];
        char to[PATH_CAPACITY];
        bounded_copy(from, sizeof from, source);
        bounded_copy(to, sizeof to, destination);
        // A name that makes either path too long for Windows is a failed copy.
        if (!PATH_Append(from, found.name) || !PATH_Append(to, found.name)) {
            copied_all = false;
        } else if ((found.attributes & FILE_ATTR_DIRECTORY) != 0) {
            copied_all = copy_folder_contents(from, to) && copied_all;
        } else {
            if (!destination_made) destination_made = create_folder(destination);
            copied_all = destination_made && FILE_CopyFile(from, to) && copied_all;
        }
    } while (FILE_FindNext(search, &found));
    // The listing ends with "no more files"; any other end left names unseen.
    if (SYS_GetLastError() != ERR_NO_MORE_FILES) copied_all = false;
    FILE_FindClose(search);
    return copied_all;
}

// Plain concatenation of the parts; false when the result does not fit a path.
bool concatenate(char* path, std::initializer_list<const char*> parts)
{
    size_t length = 0;
    path[0] = '\0';
    for (const char* part : parts) {
        length += std::strlen(part);
        bounded_append(path, PATH_CAPACITY, part);
    }
    return length < PATH_CAPACITY;
}

// The program's folder: false when its path is unavailable.
bool program_folder(char* folder)
{
    if (SYS_GetModuleFileName(nullptr, folder, PATH_CAPACITY) == 0) return false;
    PATH_RemoveFileSpec(folder);
    return true;
}

}  // namespace

int mup_copy_folder(const char* destination, const char* source)
{
    return copy_folder_contents(source, destination) ? 1 : 0;
}

int extract_driver_files(ModuleHandle instance, const char* destination, SetupContext* context)
{
    if (context->major_version == 2) return extract_driver_files_v2(instance, destination, context);

    char folder[PATH_CAPACITY];
    if (!program_folder(folder)) return DEP_SOFT_ERROR;

    const bool i2c = std::strstr(context->engine_path, "I2C") != nullptr;
    const char* const bus_folders[2] = {i2c ? "\\I2Cx32" : "\\Vi32", i2c ? "\\I2Cx64" : "\\Vi64"};

    // The 32-bit folder to every x86 OS folder, then the 64-bit one to every
    // x64 folder. Plain concatenation: a destination ending in a backslash
    // gives a doubled one, which Windows reads as one.
    int result = 0;
    for (int bits = 0; bits < 2; ++bits) {
        char source[PATH_CAPACITY];
        const bool source_fits = concatenate(source, {folder, bus_folders[bits]});
        for (int slot = bits; slot < OS_SLOT_COUNT; slot += 2) {
            char target[PATH_CAPACITY];
            const bool target_fits = concatenate(target, {destination, "\\production\\", os_folder_names[slot]});
            if (!source_fits || !target_fits || !mup_copy_folder(target, source)) result = DEP_SOFT_ERROR;
        }
    }
    return result;
}

int extract_driver_files_v2(ModuleHandle /*instance*/, const char* destination, SetupContext* context)
{
    int result = 0;
    for (uint32_t b = 0; b < context->bus_count && b < MAX_BUS_TYPES; ++b) {
        for (int i = 0; i < OS_SLOT_COUNT; ++i) {
            const os_slot& slot = context->bus_types[b].os_slots[i];
            if (slot.supported == 0) continue;

            // A path that does not fit is a failed copy, never a copy to
            // whatever the failed join left.
            char target[PATH_CAPACITY];
            bounded_copy(target, sizeof target, destination);
            bool joined = PATH_Append(target, "production") && PATH_Append(target, os_folder_names[i]);
            if (joined && slot.has_extract_subfolder != 0) joined = PATH_Append(target, slot.extract_subfolder);

            char source[PATH_CAPACITY];
            if (!program_folder(source)) return DEP_SOFT_ERROR;
            if (slot.section_index < context->section_count && slot.section_index < MAX_CONFIGURATION_SECTIONS) {
                joined = PATH_Append(source, context->configuration_sections[slot.section_index].subfolder) && joined;
            } else {
                joined = false;
            }
            if (!joined || !mup_copy_folder(target, source)) result = DEP_SOFT_ERROR;
        }
    }
    return result;
}
