// The program's message boxes and its help text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"
#include "setup/context.h"

// String table entries.
constexpr uint32_t IDS_CAPTION = 1;
constexpr uint32_t IDS_UNSUPPORTED_OS = 2;
constexpr uint32_t IDS_FILES_MISSING = 3;
constexpr uint32_t IDS_SAME_VERSION = 4;
constexpr uint32_t IDS_OLDER_VERSION = 5;
constexpr uint32_t IDS_LAUNCH_FAILED = 6;

constexpr size_t HELP_TEXT_CAPACITY = 2048;

void ShowNoticeMsg(uint32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void ShowErrorMsg(ModuleHandle instance, uint32_t text_id, uint32_t caption_id, uint32_t code);
int ShowYesNoMsg(ModuleHandle instance, uint32_t text_id, uint32_t caption_id, uint32_t extra_flags);
void ShowHelpMsg(ModuleHandle instance, const SetupContext* context);

// The help text for these settings, into a buffer of HELP_TEXT_CAPACITY.
void build_help_text(const SetupContext* context, char* text, size_t capacity);
