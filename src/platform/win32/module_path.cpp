#include "platform/win32/module_path.h"

namespace {

constexpr DWORD WIDE_CAPACITY = 1024;

// The bytes of UTF-16 text in the ANSI code page with its terminator, when
// every character has bytes of its own there (no default character, no best
// fit); 0 otherwise.
int exact_ansi(const wchar_t* text, char* buffer, int capacity)
{
    BOOL used_default = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, buffer, capacity, nullptr,
                                           &used_default);
    return used_default ? 0 : length;
}

}  // namespace

int exact_ansi_path(const wchar_t* path, char* buffer, int capacity)
{
    const int exact = exact_ansi(path, buffer, capacity);
    if (exact > 0) return exact;
    wchar_t short_form[WIDE_CAPACITY];
    const DWORD short_length = GetShortPathNameW(path, short_form, WIDE_CAPACITY);
    return short_length > 0 && short_length < WIDE_CAPACITY ? exact_ansi(short_form, buffer, capacity) : 0;
}

uint32_t ansi_module_file_name(HMODULE module, char* buffer, uint32_t capacity)
{
    if (capacity == 0) return 0;
    wchar_t wide[WIDE_CAPACITY];
    char ansi[2 * WIDE_CAPACITY];  // two bytes at most for each unit, in every ANSI code page
    const DWORD wide_length = GetModuleFileNameW(module, wide, WIDE_CAPACITY);
    const int length = wide_length > 0 && wide_length < WIDE_CAPACITY ? exact_ansi_path(wide, ansi, sizeof ansi) : 0;
    if (length > 0) {
        const uint32_t characters = static_cast<uint32_t>(length - 1);
        const uint32_t copied = characters < capacity ? characters : capacity - 1;
        CopyMemory(buffer, ansi, copied);
        buffer[copied] = '\0';
        if (copied == characters) return copied;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return capacity;
    }
    const DWORD read = GetModuleFileNameA(module, buffer, capacity);
    // Windows XP leaves a cut path unterminated.
    buffer[read < capacity ? read : capacity - 1] = '\0';
    return read;
}
