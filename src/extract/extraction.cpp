// The copies are the program's own, over the platform's file functions: no
// command interpreter is started, so no character of a destination typed on
// the command line can be taken for a command.
//
// A destination may lie inside a source (an extraction into a folder of the
// package, or of the package folder itself). Each copy then lists its source
// while the run's earlier copies sit in it, and would copy them again, deeper
// each time, until the paths grew too long for Windows. So every extraction
// takes note of its tree ("production" below the destination) by the full
// path Windows makes of it, before its first copy, and no copy of the run
// reads a folder that is, or lies in, one of the run's trees. Everything an
// extraction writes is in its tree; the folders it makes above the tree hold
// nothing but the way to it, and are empty to a copy. Comparing full paths,
// not listing the sources ahead, keeps to a few buffers on the stack
// however large the package, also passes over the output an earlier run left
// at the same destination, and gives SetupCheck.exe, whose listings never
// show what the run wrote, the same tree as the real copy.
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
    const char* separator = PATH_FindLastOf(parent, "\\/");
    if (separator == nullptr || separator == parent) return false;
    parent[separator - parent] = '\0';
    if (!create_folder(parent)) return false;
    return FILE_CreateDirectory(path) || (SYS_GetLastError() == ERR_ALREADY_EXISTS && is_folder(path));
}

// The full path Windows makes of a path, in a path buffer; false when it has
// none or it does not fit.
bool full_path(const char* path, char* full)
{
    const uint32_t length = FILE_GetFullPathName(path, full, PATH_CAPACITY);
    return length > 0 && length < PATH_CAPACITY;
}

// Takes note of the tree an extraction is about to fill. False when Windows
// makes no full path of it within a path buffer: the extraction then could
// not tell its output from its sources, and makes no copy. A host that runs
// more extractions than a run can have reuses the last place.
bool note_extraction_tree(const char* tree)
{
    char full[PATH_CAPACITY];
    if (!full_path(tree, full)) return false;
    uint32_t& count = g_process.extraction_tree_count;
    const uint32_t place = count < MAX_EXTRACTIONS ? count++ : MAX_EXTRACTIONS - 1;
    bounded_copy(g_process.extraction_trees[place], PATH_CAPACITY, full);
    return true;
}

// Whether a folder is one of the run's trees or lies inside one: the folder
// and each of its parents compared with every tree, by full path.
bool lies_in_extraction_tree(const char* folder)
{
    char full[PATH_CAPACITY];
    if (!full_path(folder, full)) return false;
    // Each step takes one name off; a path has fewer names than characters.
    for (uint32_t step = 0; step < PATH_CAPACITY; ++step) {
        for (uint32_t i = 0; i < g_process.extraction_tree_count && i < MAX_EXTRACTIONS; ++i) {
            if (FILE_PathsEqual(full, g_process.extraction_trees[i])) return true;
        }
        if (!PATH_RemoveFileSpec(full)) break;
    }
    return false;
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
            // A tree of this run is output, never a source: passed over.
            if (!lies_in_extraction_tree(from)) copied_all = copy_folder_contents(from, to) && copied_all;
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
    // A source in one of the run's trees would be read while it is written.
    if (lies_in_extraction_tree(source)) return 0;
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
    char tree[PATH_CAPACITY];
    const bool tree_noted = concatenate(tree, {destination, "\\production"}) && note_extraction_tree(tree);
    int result = 0;
    for (int bits = 0; bits < 2; ++bits) {
        char source[PATH_CAPACITY];
        const bool source_fits = concatenate(source, {folder, bus_folders[bits]});
        for (int slot = bits; slot < OS_SLOT_COUNT; slot += 2) {
            char target[PATH_CAPACITY];
            const bool target_fits = concatenate(target, {tree, "\\", os_folder_names[slot]});
            if (!tree_noted || !source_fits || !target_fits || !mup_copy_folder(target, source)) result = DEP_SOFT_ERROR;
        }
    }
    return result;
}

int extract_driver_files_v2(ModuleHandle /*instance*/, const char* destination, SetupContext* context)
{
    char tree[PATH_CAPACITY];
    bounded_copy(tree, sizeof tree, destination);
    const bool tree_noted = PATH_Append(tree, "production") && note_extraction_tree(tree);
    int result = 0;
    for (uint32_t b = 0; b < context->bus_count && b < MAX_BUS_TYPES; ++b) {
        for (int i = 0; i < OS_SLOT_COUNT; ++i) {
            const os_slot& slot = context->bus_types[b].os_slots[i];
            if (slot.supported == 0) continue;

            // A path that does not fit is a failed copy, never a copy to
            // whatever the failed join left.
            char target[PATH_CAPACITY];
            bounded_copy(target, sizeof target, tree);
            bool joined = tree_noted && PATH_Append(target, os_folder_names[i]);
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
