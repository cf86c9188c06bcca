#include "version/version_resource_check.h"

#include <cstring>

#include "common/bounded_string.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/pe.h"
#include "platform/sys.h"
#include "platform/ui.h"
#include "setup/context.h"
#include "version/version_queries.h"

namespace {

constexpr const char* VERSION_LIBRARY = "VxaVer.dll";
constexpr const char* PRODUCT_VERSION = "\\StringFileInfo\\040904b0\\ProductVersion";


// The library's product version in the ANSI code page, as the system's ANSI
// version query gives it. The file is read with our own PE walk, so nothing
// from the package folder is ever loaded into the program.
bool read_product_version(const char* path, char* text)
{
    FILE_Handle file = FILE_OpenExistingForRead(path);
    if (file == nullptr) return false;
    bool found = false;
    FILE_View view{};
    if (FILE_MapReadOnly(file, &view)) {
        uint16_t units[PRODUCT_VERSION_UNITS];
        found = PE_QueryVersionString(view.data, view.size, PRODUCT_VERSION, units, PRODUCT_VERSION_UNITS) &&
                SYS_Utf16ToAnsi(units, text, PRODUCT_VERSION_CAPACITY) != 0;
        FILE_Unmap(&view);
    }
    FILE_Close(file);
    return found;
}

// "8.1.0.83" becomes "8, 1, 0, 83", cut to the buffer's capacity.
void separate_with_commas(char* version)
{
    for (char* dot = std::strchr(version, '.'); dot != nullptr; dot = std::strchr(version, '.')) {
        char rest[VERSION_TEXT_CAPACITY];
        bounded_copy(rest, sizeof rest, dot + 1);
        *dot = '\0';
        bounded_append(version, VERSION_TEXT_CAPACITY, ", ");
        bounded_append(version, VERSION_TEXT_CAPACITY, rest);
    }
}

}  // namespace

bool version_library_texts(const char* inf_path, char* library, char* product_version, char* driver_version)
{
    bounded_copy(library, PATH_CAPACITY, g_process.inf_folder);
    // A too long path names no library.
    if (!PATH_Append(library, VERSION_LIBRARY)) return false;
    if (!read_product_version(library, product_version)) return false;
    if (!loc_QueryInfFilesInf(inf_path, driver_version, VERSION_TEXT_CAPACITY)) return false;
    separate_with_commas(driver_version);
    return true;
}

int CheckVersionResource(const char* inf_path)
{
    char library[PATH_CAPACITY];
    char product_version[PRODUCT_VERSION_CAPACITY];
    char driver_version[VERSION_TEXT_CAPACITY];
    if (!version_library_texts(inf_path, library, product_version, driver_version)) return 1;
    if (std::strcmp(product_version, driver_version) == 0) return 1;

    UI_MessageBox(VERSION_LIBRARY_MISMATCH, "ERROR",
                  UI_MB_OK | UI_MB_ICONINFORMATION);
    return 0;
}
