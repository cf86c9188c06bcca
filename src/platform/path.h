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
