// PATH_: the shell's path functions on 260-character buffers.
#pragma once

#include "platform/types.h"

// PathAppendA: one backslash between the parts, leading backslashes of `more`
// dropped, "." and ".." resolved. A result of 260 characters or more fails and
// leaves `path` empty.
bool PATH_Append(char* path, const char* more);

// PathRemoveFileSpecA.
bool PATH_RemoveFileSpec(char* path);

// PathRemoveExtensionA.
void PATH_RemoveExtension(char* path);

// PathAddExtensionA: nothing happens when an extension is there already or the
// result would not fit.
bool PATH_AddExtension(char* path, const char* extension);

// PathStripPathA.
void PATH_StripPath(char* path);

// The first, or the last, character in `text` that is one of `characters`
// (ASCII) and a character of its own. The scan steps by characters of the
// ANSI code page, as the shell's path functions do (IsDBCSLeadByte): in the
// double-byte code pages (932, 936, 949, 950) the second byte of a character
// can be 0x5C, the backslash, and is never taken for one. nullptr when there
// is none.
const char* PATH_FindFirstOf(const char* text, const char* characters);
const char* PATH_FindLastOf(const char* text, const char* characters);
