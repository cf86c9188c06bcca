// PATH_ on the simulated machine: the shell's path functions are pure string
// work on 260-character buffers, so this is the shell's behaviour written out,
// quirks included (see the notes on each function). They work on characters
// of the machine's ANSI code page, as the shell does: in a double-byte code
// page the second byte of a character can be 0x5C, and it is no backslash.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/path.h"
#include "platform/sim/codepage.h"

namespace {

// ANSI text as one unit per character of the machine's code page: a
// single-byte character as its byte, a double-byte one as lead * 256 + trail,
// which no ASCII test matches. The shell's functions look only for ASCII
// characters, so on these units they run as on UTF-16 text; lengths and
// limits stay in bytes.
using Chars = std::u16string;

Chars to_chars(const std::string& text)
{
    const uint32_t code_page = sim::current_ansi_code_page();
    Chars chars;
    chars.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {  // never a lead byte
            chars.push_back(static_cast<char16_t>(text[at++]));
            continue;
        }
        const size_t next = sim::next_char(text, at, code_page);
        char16_t unit = static_cast<unsigned char>(text[at]);
        if (next - at == 2) unit = static_cast<char16_t>(unit << 8 | static_cast<unsigned char>(text[at + 1]));
        chars.push_back(unit);
        at = next;
    }
    return chars;
}

std::string to_bytes(const Chars& chars)
{
    std::string text;
    for (const char16_t unit : chars) {
        if (unit > 0xFF) text.push_back(static_cast<char>(unit >> 8));
        text.push_back(static_cast<char>(unit & 0xFF));
    }
    return text;
}

// How many bytes the first `count` characters take.
size_t byte_length(const Chars& chars, size_t count)
{
    size_t length = 0;
    for (size_t i = 0; i < count && i < chars.size(); ++i) length += chars[i] > 0xFF ? 2 : 1;
    return length;
}

size_t byte_length(const Chars& chars)
{
    return byte_length(chars, chars.size());
}

// The text as PathAppendA sees it: like Wine's, it joins the UTF-16 forms of
// its parts and converts the result back, so a lead byte that ends a part
// without its second byte comes back as the code page's default character
// ("・", 81 45, in 932). Other text comes back as it was.
std::string through_utf16(const std::string& text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return text;
    const uint32_t code_page = sim::current_ansi_code_page();
    return sim::utf16_to_ansi(sim::ansi_to_utf16(text, code_page), code_page);
}

bool is_letter(char16_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The caller's text, never read past the 260-character buffer the functions
// are defined on. A buffer without a terminator counts as too long.
bool read_bounded(const char* text, std::string* out)
{
    const size_t length = strnlen(text, PATH_CAPACITY);
    if (length >= PATH_CAPACITY) return false;
    out->assign(text, length);
    return true;
}

void write_bounded(char* buffer, const std::string& text)
{
    const size_t length = text.size() < PATH_CAPACITY ? text.size() : PATH_CAPACITY - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

// Reads past the end give a terminator, as the shell's pointer walks see one.
char16_t at(const Chars& text, size_t index)
{
    return index < text.size() ? text[index] : u'\0';
}

bool is_unc(const Chars& path)
{
    return at(path, 0) == '\\' && at(path, 1) == '\\' && at(path, 2) != '?';
}

// "\x" and "X:" count as absolute; so does anything UNC.
bool is_relative(const Chars& path)
{
    if (path.empty()) return true;
    return !(path[0] == '\\' || at(path, 1) == ':');
}

// "\\server\share" with nothing after the share.
bool is_unc_server_share(const Chars& path)
{
    if (at(path, 0) != '\\' || at(path, 1) != '\\') return false;
    bool seen_separator = false;
    for (size_t i = 2; i < path.size(); ++i) {
        if (path[i] != '\\') continue;
        if (seen_separator) return false;
        seen_separator = true;
    }
    return seen_separator;
}

// A ".." met while the output ends in "\": steps the output back over the
// previous segment. Never above "X:\" or a UNC share; a relative path that
// runs out of segments starts again from "\" (the shell does the same).
// Returns how many extra source characters to skip (the "\" after "..").
size_t back_up(Chars& out)
{
    size_t end = out.size();  // the shell's write position; out[end] reads as a terminator
    if (end > 1 && (out[end - 2] != '\\' || end > 2)) {
        if (out[end - 2] == ':' && (end > 3 || (end == 3 && out[0] == ':'))) {
            end -= 2;
            while (end > 0 && out[end] != '\\') --end;
            end = out[end] == '\\' ? end + 1 : 0;
        } else if (out[end - 2] != ':' && !is_unc_server_share(out)) {
            end -= 2;
        }
    }
    while (end > 0 && at(out, end) != '\\') --end;
    if (end == 0) {
        out = u"\\";
        return 1;
    }
    out.resize(end);
    return 0;
}

// PathCanonicalize: "." and ".." segments resolved. Only "\" separates; a "/"
// is part of a segment name.
Chars canonicalize(const Chars& path)
{
    if (path.empty()) return u"\\";
    Chars out;
    size_t i = 0;
    if (path[0] == '\\') {
        out += path[i++];
    } else if (at(path, 1) == ':') {
        out += path[i++];
        out += path[i++];
        if (at(path, i) == '\\') out += path[i++];
    }
    while (i < path.size()) {
        if (path[i] == '.') {
            const char16_t next = at(path, i + 1);
            const char16_t previous = i > 0 ? path[i - 1] : u'\0';
            if (next == '\\' && (i == 0 || previous == '\\' || previous == ':')) {
                i += 2;  // ".\"
                continue;
            }
            if (next == '.' && !out.empty() && out.back() == '\\') {
                i += 2 + back_up(out);
                if (i > path.size()) i = path.size();
                continue;
            }
        }
        out += path[i++];
    }
    if (out.size() == 2 && out[1] == ':') out += '\\';  // a bare drive gets its root
    // Nothing left (".\"): the current drive's root, as for an empty path,
    // never an empty result from a join that succeeded.
    if (out.empty()) out = u"\\";
    return out;
}

// PathFindExtension: the last "." after the last "\" and the last blank.
size_t extension_start(const Chars& path)
{
    size_t found = Chars::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == ' ') {
            found = Chars::npos;
        } else if (path[i] == '.') {
            found = i;
        }
    }
    return found == Chars::npos ? path.size() : found;
}

}  // namespace

// PathAppendA. Leading backslashes of `more` go (unless it is UNC); a `more`
// that is absolute ("D:\x", "\\server\share") replaces the path; the join is
// canonicalised. Anything of 260 bytes or more on the way fails and leaves
// the path empty, as the shell does.
bool PATH_Append(char* path, const char* more)
{
    if (path == nullptr || more == nullptr) return false;

    std::string directory_bytes;
    std::string file_bytes;
    if (!read_bounded(path, &directory_bytes) || !read_bounded(more, &file_bytes)) {
        path[0] = '\0';
        return false;
    }
    const Chars directory = to_chars(through_utf16(directory_bytes));
    Chars file = to_chars(through_utf16(file_bytes));
    if (!is_unc(file)) {
        size_t skip = 0;
        while (skip < file.size() && file[skip] == '\\') ++skip;
        file.erase(0, skip);
    }

    Chars joined;
    if (file.empty()) {
        joined = directory;
    } else if (directory.empty() || !is_relative(file)) {
        joined = file;
    } else {
        joined = directory;
        if (joined.back() != '\\') joined += u'\\';
        if (byte_length(joined) + byte_length(file) >= PATH_CAPACITY) {
            path[0] = '\0';
            return false;
        }
        joined += file;
    }

    const std::string result = to_bytes(canonicalize(joined));
    if (result.size() >= PATH_CAPACITY) {
        path[0] = '\0';
        return false;
    }
    write_bounded(path, result);
    return true;
}

// PathRemoveFileSpecA: cuts the last segment; the root ("C:\", "\", a UNC
// server) stays. False when there was nothing to remove.
bool PATH_RemoveFileSpec(char* path)
{
    if (path == nullptr || path[0] == '\0') return false;
    std::string bytes;
    if (!read_bounded(path, &bytes)) {
        path[PATH_CAPACITY - 1] = '\0';
        bytes.assign(path, PATH_CAPACITY - 1);
    }
    const Chars text = to_chars(bytes);

    size_t root_end = 0;
    if (is_letter(text[0]) && at(text, 1) == ':') {
        root_end = 2;
        if (at(text, root_end) == '\\') ++root_end;
    } else {
        if (at(text, root_end) == '\\') ++root_end;
        if (at(text, root_end + 1) != '?') {
            if (at(text, root_end) == '\\') ++root_end;
            if (root_end > 1 && is_letter(at(text, root_end)) && at(text, root_end + 1) == ':') root_end += 2;
            if (at(text, root_end) == '\\' && at(text, root_end + 1) != '\0' && at(text, root_end + 1) != '\\') {
                ++root_end;
            }
        }
    }

    const size_t last = text.find_last_of(u'\\');
    if (last != Chars::npos && last > root_end) {
        const size_t cut = text[last - 1] == '\\' ? last - 1 : last;
        path[byte_length(text, cut)] = '\0';
        return true;
    }
    if (root_end >= text.size()) return false;
    path[byte_length(text, root_end)] = '\0';
    return true;
}

// PathRemoveExtensionA.
void PATH_RemoveExtension(char* path)
{
    if (path == nullptr) return;
    std::string bytes;
    if (!read_bounded(path, &bytes)) return;
    const Chars text = to_chars(bytes);
    path[byte_length(text, extension_start(text))] = '\0';
}

// PathAddExtensionA: false when an extension is there already, when the
// result would reach 260 bytes, or when no extension is given (shlwapi
// since Windows 2000 adds no ".exe" of its own). An empty extension "adds" nothing.
bool PATH_AddExtension(char* path, const char* extension)
{
    if (path == nullptr || extension == nullptr) return false;
    std::string text;
    std::string added;
    if (!read_bounded(path, &text) || !read_bounded(extension, &added)) return false;
    const Chars chars = to_chars(text);
    if (extension_start(chars) != chars.size()) return false;
    if (text.size() + added.size() >= PATH_CAPACITY) return false;
    write_bounded(path, text + added);
    return true;
}

// PathStripPathA: keeps what follows the last "\", "/" or ":" that has a
// character other than a separator after it ("C:\dir\" stays "dir\").
void PATH_StripPath(char* path)
{
    if (path == nullptr) return;
    std::string bytes;
    if (!read_bounded(path, &bytes)) return;
    const Chars text = to_chars(bytes);
    size_t name = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const char16_t c = text[i];
        const char16_t next = text[i + 1];
        if ((c == '\\' || c == '/' || c == ':') && next != '\\' && next != '/') name = i + 1;
    }
    if (name > 0) write_bounded(path, bytes.substr(byte_length(text, name)));
}

const char* PATH_FindFirstOf(const char* text, const char* characters)
{
    const size_t found = sim::find_first_of(text, characters, sim::current_ansi_code_page());
    return found != std::string_view::npos ? text + found : nullptr;
}

const char* PATH_FindLastOf(const char* text, const char* characters)
{
    const size_t found = sim::find_last_of(text, characters, sim::current_ansi_code_page());
    return found != std::string_view::npos ? text + found : nullptr;
}
