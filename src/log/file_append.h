// Joining one file onto another, byte for byte.
#pragma once

// Appends the whole of `source` to the end of the existing file
// `destination`, in binary: nothing is cut at a 0x1A byte and nothing is
// added. True only when every byte of `source` was read and written. A join
// of a file onto itself is refused (the two opens exclude each other), as is
// one whose destination does not exist.
bool append_file(const char* destination, const char* source);
