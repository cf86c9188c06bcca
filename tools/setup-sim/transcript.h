// What a run did to the simulated machine, printed for people or as JSON.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/machine.h"

struct WrittenFile {
    std::string path;     // Windows path
    std::string bytes;    // the content after the run
    std::string copy_of;  // the package file it is a byte-for-byte copy of, or ""
};

struct RunOutcome {
    std::string program_path;
    std::string command_line;
    int result = 0;
    int exit_code = 0;
    bool ended_at_once = false;               // no end of run: no log, no restart
    std::vector<std::string> folders_created; // Windows paths
    std::vector<WrittenFile> files_written;   // new or changed by the run
};

std::string transcript_text(const sim::Machine& machine, const RunOutcome& outcome);
std::string transcript_json(const sim::Machine& machine, const RunOutcome& outcome);

// A file's content as a person reads it, in UTF-8, and how it was stored:
// "UTF-16LE" (after an FF FE byte-order mark), "ANSI" (the machine's code
// page), or "binary" (NUL bytes outside UTF-16; no text then). A UTF-16 log
// that DEBUG extended with the engine's own log has the engine's part in
// ANSI after the debugging banner: "UTF-16LE+ANSI", each part decoded as
// written.
struct ReadableText {
    std::string encoding;
    std::string text;
};
ReadableText readable_text(const std::string& bytes, uint32_t code_page);

// Text as a JSON string, quotes included.
std::string json_string(const std::string& utf8);

// The name of a result code ("REBOOT_REQUIRED"), or "" for an unknown one.
const char* result_name(int result);
