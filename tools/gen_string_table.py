#!/usr/bin/env python3
"""Turn resources/strings.txt into the program's string table for both builds.

Usage: gen_string_table.py <strings.txt> <out.rc> <out.cpp>

out.rc  -- a resource script for windres: one LANGUAGE + STRINGTABLE block per
           language, every text a wide string with the non-ASCII characters
           written as \\xHHHH escapes (windres reads exactly four hex digits in a
           wide string, so the escape never swallows a following letter).
out.cpp -- the same table as data for the simulated string loader
           (sim::string_table, see src/platform/sim/string_table.h).

The input is checked first; any fault stops the build with a message naming the
line.
"""

import re
import sys
import unicodedata

# The languages the table ships with, by Windows language id.
EXPECTED_LANGUAGES = {
    0x001E, 0x0401, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040B, 0x040C,
    0x040D, 0x040E, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0418,
    0x0419, 0x041A, 0x041B, 0x041D, 0x041F, 0x0424, 0x0804, 0x080A, 0x0816, 0x0C0A,
}
EXPECTED_IDS = [1, 2, 3, 4, 5, 6]
CAPTION_ID = 1
CAPTION_TEXT = "Setup.exe"
LINE_BREAK_ID = 2  # its text keeps exactly one line break in every language

HEADER_RE = re.compile(r"^\[0x([0-9A-Fa-f]{4})[ \t]+([^\]]+)\]$")
ENTRY_RE = re.compile(r"^([0-9]+)\t(.*)$")


class TableError(Exception):
    pass


def unescape(text, where):
    """Resolve the two escapes of the source format: \\n and \\\\."""
    out = []
    i = 0
    while i < len(text):
        ch = text[i]
        if ch != "\\":
            out.append(ch)
            i += 1
            continue
        nxt = text[i + 1] if i + 1 < len(text) else ""
        if nxt == "n":
            out.append("\n")
        elif nxt == "\\":
            out.append("\\")
        else:
            raise TableError(f"{where}: unknown escape '\\{nxt}' (only \\n and \\\\ exist)")
        i += 2
    return "".join(out)


def parse(path):
    """Return [(language id, name, {id: text})] in file order."""
    try:
        with open(path, "r", encoding="utf-8-sig", newline=None) as f:
            lines = f.read().split("\n")
    except (OSError, UnicodeDecodeError) as e:
        raise TableError(f"{path}: cannot read as UTF-8: {e}")

    languages = []
    current = None
    for number, raw in enumerate(lines, start=1):
        where = f"{path}:{number}"
        line = raw.rstrip("\r")
        if not line.strip() or line.startswith("#"):
            continue
        header = HEADER_RE.match(line)
        if header:
            current = (int(header.group(1), 16), header.group(2).strip(), {}, where)
            languages.append(current)
            continue
        entry = ENTRY_RE.match(line)
        if not entry:
            raise TableError(f"{where}: expected '[0xLLLL Name]' or '<id><TAB><text>', got {line!r}")
        if current is None:
            raise TableError(f"{where}: entry before the first language header")
        string_id = int(entry.group(1))
        raw_text = entry.group(2)
        if raw_text != raw_text.strip(" \t"):
            raise TableError(f"{where}: text starts or ends with a blank")
        if not raw_text:
            raise TableError(f"{where}: empty text")
        if string_id in current[2]:
            raise TableError(f"{where}: id {string_id} appears twice in language 0x{current[0]:04X}")
        text = unescape(raw_text, where)
        for ch in text:
            if ord(ch) < 0x20 and ch != "\n":
                raise TableError(f"{where}: control character U+{ord(ch):04X} in the text")
        current[2][string_id] = text
    return languages


def validate(languages, path):
    seen = {}
    for lang, name, entries, where in languages:
        if lang in seen:
            raise TableError(f"{where}: language 0x{lang:04X} ({name}) already defined at {seen[lang]}")
        seen[lang] = where
        if lang not in EXPECTED_LANGUAGES:
            raise TableError(f"{where}: language 0x{lang:04X} ({name}) is not one of the table's languages")
        ids = sorted(entries)
        if ids != EXPECTED_IDS:
            missing = [i for i in EXPECTED_IDS if i not in entries]
            extra = [i for i in ids if i not in EXPECTED_IDS]
            raise TableError(f"{where}: language 0x{lang:04X} ({name}) must have ids 1-6 exactly"
                             f" (missing {missing}, unexpected {extra})")
        if entries[CAPTION_ID] != CAPTION_TEXT:
            raise TableError(f"{where}: language 0x{lang:04X} ({name}): id {CAPTION_ID} must be "
                             f"{CAPTION_TEXT!r}, not {entries[CAPTION_ID]!r}")
        if entries[LINE_BREAK_ID].count("\n") != 1:
            raise TableError(f"{where}: language 0x{lang:04X} ({name}): id {LINE_BREAK_ID} must keep "
                             f"exactly one line break (\\n)")
    missing = sorted(EXPECTED_LANGUAGES - set(seen))
    if missing:
        raise TableError(f"{path}: {len(seen)} languages, {len(EXPECTED_LANGUAGES)} expected; missing "
                         + ", ".join(f"0x{m:04X}" for m in missing))


def utf16_units(ch):
    code = ord(ch)
    if code < 0x10000:
        return [code]
    code -= 0x10000
    return [0xD800 + (code >> 10), 0xDC00 + (code & 0x3FF)]


def rc_string(text):
    """A windres wide string literal for the text."""
    out = []
    previous = ""
    for ch in text:
        if ch == '"':
            out.append('""')  # windres rejects \" and wants the quote doubled
        elif ch == "\\":
            out.append("\\\\")
        elif ch == "\n":
            out.append("\\n")
        elif ch == "?" and previous == "?":
            out.append("\\x003F")  # no "??" in the script: the preprocessor could read a trigraph
        elif 0x20 <= ord(ch) < 0x7F:
            out.append(ch)
        else:
            out.extend(f"\\x{unit:04X}" for unit in utf16_units(ch))
        previous = ch
    return 'L"' + "".join(out) + '"'


def cpp_string(text):
    """A C++ char16_t string literal for the text."""
    out = []
    for ch in text:
        code = ord(ch)
        if ch == '"':
            out.append('\\"')
        elif ch == "\\":
            out.append("\\\\")
        elif ch == "\n":
            out.append("\\n")
        elif 0x20 <= code < 0x7F:
            out.append(ch)
        elif code < 0xA0:
            # DEL and the C1 controls: a universal character name may not name them,
            # an octal escape (at most three digits, so never greedy) may.
            out.append(f"\\{code:03o}")
        elif code < 0x10000:
            out.append(f"\\u{code:04X}")
        else:
            out.append(f"\\U{code:08X}")
    return 'u"' + "".join(out) + '"'


def comment_safe(name):
    """The language name for a // comment of the ASCII-only outputs ("Bokmal"); no
    backslash, which at the end of the line would continue the comment onto the next."""
    plain = unicodedata.normalize("NFKD", name).encode("ascii", "ignore").decode("ascii")
    return plain.replace("\\", "/")


def render_rc(languages):
    lines = [
        "// The string table of Setup.exe in every language. Generated from",
        "// resources/strings.txt by tools/gen_string_table.py: edit that file instead.",
        "",
    ]
    for lang, name, entries, _ in languages:
        lines.append(f"// 0x{lang:04X} {comment_safe(name)}")
        lines.append(f"LANGUAGE 0x{lang & 0x3FF:02X}, 0x{lang >> 10:02X}")
        lines.append("STRINGTABLE")
        lines.append("BEGIN")
        for string_id in sorted(entries):
            lines.append(f"    {string_id}, {rc_string(entries[string_id])}")
        lines.append("END")
        lines.append("")
    return "\n".join(lines)


def render_cpp(languages):
    lines = [
        "// The string table of Setup.exe as data for the simulated string loader.",
        "// Generated from resources/strings.txt by tools/gen_string_table.py: edit that file instead.",
        "",
        '#include "platform/sim/string_table.h"',
        "",
        "namespace sim {",
        "",
        "const StringTableEntry string_table[] = {",
    ]
    for lang, name, entries, _ in languages:
        lines.append(f"    // 0x{lang:04X} {comment_safe(name)}")
        for string_id in sorted(entries):
            lines.append(f"    {{0x{lang:04X}, {string_id}, {cpp_string(entries[string_id])}}},")
    lines += [
        "};",
        "",
        "const size_t string_table_size = sizeof(string_table) / sizeof(string_table[0]);",
        "",
        "}  // namespace sim",
        "",
    ]
    return "\n".join(lines)


def write(path, content):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(content)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: gen_string_table.py <strings.txt> <out.rc> <out.cpp>\n")
        return 2
    source, rc_path, cpp_path = argv[1:]
    try:
        languages = parse(source)
        validate(languages, source)
    except TableError as e:
        sys.stderr.write(f"gen_string_table: {e}\n")
        return 1
    # Ascending language ids: the order of the resource directory, which the
    # simulated loader's last fallback ("the first language present") relies on.
    languages.sort(key=lambda item: item[0])
    try:
        write(rc_path, render_rc(languages))
        write(cpp_path, render_cpp(languages))
    except OSError as e:
        sys.stderr.write(f"gen_string_table: cannot write the output: {e}\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
