// PATH_ on the simulated machine: the shell's path functions are pure string
// work on 260-character buffers, so this is the shell's behaviour written out,
// quirks included (see the notes on each function).
#include <cctype>
#include <cstring>
#include <string>

#include "platform/path.h"

namespace {

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
char at(const std::string& text, size_t index)
{
    return index < text.size() ? text[index] : '\0';
}

bool is_unc(const std::string& path)
{
    return at(path, 0) == '\\' && at(path, 1) == '\\' && at(path, 2) != '?';
}

// "\x" and "X:" count as absolute; so does anything UNC.
bool is_relative(const std::string& path)
{
    if (path.empty()) return true;
    return !(path[0] == '\\' || at(path, 1) == ':');
}

// "\\server\share" with nothing after the share.
bool is_unc_server_share(const std::string& path)
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
size_t back_up(std::string& out)
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
        out = "\\";
        return 1;
    }
    out.resize(end);
    return 0;
}

// PathCanonicalize: "." and ".." segments resolved. Only "\" separates; a "/"
// is part of a segment name.
std::string canonicalize(const std::string& path)
{
    if (path.empty()) return "\\";
    std::string out;
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
            const char next = at(path, i + 1);
            const char previous = i > 0 ? path[i - 1] : '\0';
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
    if (out.empty()) out = "\\";
    return out;
}

// PathFindExtension: the last "." after the last "\" and the last blank.
size_t extension_start(const std::string& path)
{
    size_t found = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == ' ') {
            found = std::string::npos;
        } else if (path[i] == '.') {
            found = i;
        }
    }
    return found == std::string::npos ? path.size() : found;
}

}  // namespace

// PathAppendA. Leading backslashes of `more` go (unless it is UNC); a `more`
// that is absolute ("D:\x", "\\server\share") replaces the path; the join is
// canonicalised. Anything of 260 characters or more on the way fails and
// leaves the path empty, as the shell does.
bool PATH_Append(char* path, const char* more)
{
    if (path == nullptr || more == nullptr) return false;

    std::string directory;
    std::string file;
    if (!read_bounded(path, &directory) || !read_bounded(more, &file)) {
        path[0] = '\0';
        return false;
    }
    if (!is_unc(file)) {
        size_t skip = 0;
        while (skip < file.size() && file[skip] == '\\') ++skip;
        file.erase(0, skip);
    }

    std::string joined;
    if (file.empty()) {
        joined = directory;
    } else if (directory.empty() || !is_relative(file)) {
        joined = file;
    } else {
        joined = directory;
        if (joined.back() != '\\') joined += '\\';
        if (joined.size() + file.size() >= PATH_CAPACITY) {
            path[0] = '\0';
            return false;
        }
        joined += file;
    }

    const std::string result = canonicalize(joined);
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
    std::string text;
    if (!read_bounded(path, &text)) {
        path[PATH_CAPACITY - 1] = '\0';
        text.assign(path, PATH_CAPACITY - 1);
    }

    size_t root_end = 0;
    if (std::isalpha(static_cast<unsigned char>(text[0])) && at(text, 1) == ':') {
        root_end = 2;
        if (at(text, root_end) == '\\') ++root_end;
    } else {
        if (at(text, root_end) == '\\') ++root_end;
        if (at(text, root_end + 1) != '?') {
            if (at(text, root_end) == '\\') ++root_end;
            if (root_end > 1 && std::isalpha(static_cast<unsigned char>(at(text, root_end))) &&
                at(text, root_end + 1) == ':') {
                root_end += 2;
            }
            if (at(text, root_end) == '\\' && at(text, root_end + 1) != '\0' && at(text, root_end + 1) != '\\') {
                ++root_end;
            }
        }
    }

    const size_t last = text.find_last_of('\\');
    if (last != std::string::npos && last > root_end) {
        const size_t cut = text[last - 1] == '\\' ? last - 1 : last;
        path[cut] = '\0';
        return true;
    }
    if (root_end >= text.size()) return false;
    path[root_end] = '\0';
    return true;
}

// PathRemoveExtensionA.
void PATH_RemoveExtension(char* path)
{
    if (path == nullptr) return;
    std::string text;
    if (!read_bounded(path, &text)) return;
    path[extension_start(text)] = '\0';
}

// PathAddExtensionA: false when an extension is there already, when the
// result would reach 260 characters, or when no extension is given (shlwapi
// since Windows 2000 adds no ".exe" of its own). An empty extension "adds" nothing.
bool PATH_AddExtension(char* path, const char* extension)
{
    if (path == nullptr || extension == nullptr) return false;
    std::string text;
    std::string added;
    if (!read_bounded(path, &text) || !read_bounded(extension, &added)) return false;
    if (extension_start(text) != text.size()) return false;
    if (text.size() + added.size() >= PATH_CAPACITY) return false;
    write_bounded(path, text + added);
    return true;
}

// PathStripPathA: keeps what follows the last "\", "/" or ":" that has a
// character other than a separator after it ("C:\dir\" stays "dir\").
void PATH_StripPath(char* path)
{
    if (path == nullptr) return;
    std::string text;
    if (!read_bounded(path, &text)) return;
    size_t name = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const char c = text[i];
        const char next = text[i + 1];
        if ((c == '\\' || c == '/' || c == ':') && next != '\\' && next != '/') name = i + 1;
    }
    if (name > 0) write_bounded(path, text.substr(name));
}
