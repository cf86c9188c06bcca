// ANSI code pages on the simulated machine: which one a system locale uses, and
// the conversions the "A" functions of Windows make with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

// The ANSI code page Windows gives a system default language: 1252 Western,
// 1250 Central European, 1251 Cyrillic, 1253 Greek, 1254 Turkish, 1255 Hebrew,
// 1256 Arabic, 1257 Baltic, 1258 Vietnamese, 874 Thai, 932 Japanese,
// 936 Simplified Chinese, 949 Korean, 950 Traditional Chinese. Languages that
// Windows keeps Unicode-only (Hindi, Georgian, Armenian, ...) have no ANSI code
// page there (0, so the "A" functions fall back to the default); we answer 1252
// for them, as for any language we do not know.
uint32_t ansi_code_page_for_language(uint16_t langid);

// The current machine's ANSI code page: its own setting, or the one of its
// system default language when that is 0.
uint32_t current_ansi_code_page();

// IsDBCSLeadByteEx: whether the byte starts a two-byte character in the code
// page (932, 936, 949, 950); always false for the single-byte ones.
bool is_dbcs_lead_byte(uint32_t code_page, unsigned char byte);

// The length of the longest prefix of ANSI text that fits in max_bytes without
// cutting a two-byte character in half.
size_t ansi_prefix_length(const std::string& text, uint32_t code_page, size_t max_bytes);

// Where the character after the one at `at` starts, as CharNextExA steps
// through ANSI text of the code page: past a lead byte and the byte after it,
// past one byte otherwise; at the end of the text it stays there.
size_t next_char(std::string_view text, size_t at, uint32_t code_page);

// The first character at or after `from`, or the last one, that is one of
// `characters` (ASCII) and a character of its own: the scan steps as
// next_char does, so the second byte of a two-byte character (0x5C, the
// backslash, is one in 932, 936, 949 and 950) is never taken for one. `from`
// must start a character. npos when there is none.
size_t find_first_of(std::string_view text, std::string_view characters, uint32_t code_page, size_t from = 0);
size_t find_last_of(std::string_view text, std::string_view characters, uint32_t code_page);

// Bytes as UTF-16LE code units (an odd last byte dropped).
std::u16string utf16le_units(std::string_view bytes);

// WideCharToMultiByte into the code page. A character the code page lacks gets
// Windows' best-fit replacement where we carry it (those of the string table's
// characters, see codepage.cpp), else '?'; so does an unpaired surrogate. Code
// pages: the ANSI ones above and 65001 (UTF-8); an unknown code page keeps ASCII
// and gives '?' for the rest.
std::string utf16_to_ansi(const std::u16string& text, uint32_t code_page);

// MultiByteToWideChar from the code page, without flags: every character (one
// byte, or a lead and a trail byte in 932, 936, 949 and 950) becomes UTF-16 on
// its own, as Windows' tables map it; nothing is composed with the marks that
// follow it. A byte the code page leaves undefined becomes the code unit of the
// same value when it lies in 0x80-0x9F, as Windows' tables have it; any other
// character we cannot convert (a few bytes Windows maps into the private use
// area, a lead byte without its trail byte) becomes the code page's default
// character: U+30FB in 932, '?' elsewhere.
std::u16string ansi_to_utf16(const std::string& text, uint32_t code_page);

// UTF-8 as UTF-16 and back, for host file names and the host's command line.
// A byte that starts no well-formed sequence (Linux names may hold any bytes)
// becomes the lone surrogate U+DC80-U+DCFF of its value, and such a surrogate
// becomes its byte again, so every host name survives the round trip; any
// other unpaired surrogate becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(const std::u16string& text);

// Whether the text converts into the code page and back unchanged: what
// WideCharToMultiByte with WC_NO_BEST_FIT_CHARS reports by not setting its
// used-default flag. A best-fit replacement counts as a loss: it can name
// another file.
bool converts_exactly(const std::u16string& text, uint32_t code_page);

// A UTF-16 unit as NTFS compares file names: upper-cased by Windows' casing
// table, carried here for Basic Latin, Latin-1 and Latin Extended-A
// (U+0000-U+017F), Greek and Cyrillic (U+0370-U+052F); any other unit stands
// for itself. As in Windows' table, a character without a capital of its own
// (ß, ı, ſ, µ, ς) stays as it is.
char16_t upcase(char16_t unit);

// ANSI text of the code page as UTF-8, for printing transcripts. A byte sequence
// that is not valid in the code page becomes '?', byte by byte. An unknown code
// page keeps ASCII and gives '?' for the rest.
std::string ansi_to_utf8(const std::string& text, uint32_t code_page);

// Whether the simulated machine can have the code page as its ANSI code page:
// one of the ANSI code pages above, or 65001.
bool is_supported_code_page(uint32_t code_page);

// Text from the host (a file name, a word of the command line) for printing:
// its well-formed UTF-8 as it is, and every other byte as "\xNN", so that
// what is printed is UTF-8 and still tells the bytes apart.
std::string escaped_utf8(const std::string& text);

}  // namespace sim
