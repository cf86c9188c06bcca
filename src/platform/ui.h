// UI_: message boxes and the program's string table.
#pragma once

#include "platform/types.h"

constexpr uint32_t UI_MB_OK = 0x0;
constexpr uint32_t UI_MB_YESNO = 0x4;
constexpr uint32_t UI_MB_ICONQUESTION = 0x20;
constexpr uint32_t UI_MB_ICONINFORMATION = 0x40;
constexpr uint32_t UI_MB_DEFBUTTON2 = 0x100;
constexpr uint32_t UI_MB_RIGHT = 0x80000;
constexpr uint32_t UI_MB_RTLREADING = 0x100000;

constexpr int UI_IDOK = 1;
constexpr int UI_IDCANCEL = 2;
constexpr int UI_IDYES = 6;
constexpr int UI_IDNO = 7;

// MessageBoxA without an owner window; returns the button pressed.
int UI_MessageBox(const char* text, const char* caption, uint32_t style);

// LoadStringA from the module's string table, in the language the platform picks:
// at most capacity-1 bytes, always terminated; returns the byte count (0 when the
// string is missing, leaving an empty buffer).
int UI_LoadString(ModuleHandle module, uint32_t id, char* buffer, int capacity);
