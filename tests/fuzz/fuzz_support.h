// What every fuzz target shares: a simulated machine whose drive C is one
// temporary folder for the whole fuzzing run, and a limit on the processor
// time one input may take.
#pragma once

#include <string>

#include "platform/sim/machine.h"

// A fresh machine for each input: the default machine of the simulated
// platform, the program at C:\Package\Setup.exe, drive C emptied, the
// process state back to zero.
class FuzzMachine {
public:
    FuzzMachine();
    ~FuzzMachine();
    sim::Machine& fresh();
    void write_file(const std::string& windows_path, const std::string& bytes);

private:
    std::string root_;
    sim::Machine machine_;
};

// One process-wide machine for the target.
FuzzMachine& fuzz_machine();

// Aborts, so that libFuzzer keeps the input, when one input takes more than a
// second of processor time: nothing the program reads should cost that much
// (the slowest seeds take a few milliseconds). Processor time, not the clock:
// on a busy machine an input can wait far longer than it runs, and that says
// nothing about the program. An input that never ends is libFuzzer's
// -timeout (run_fuzzer.sh).
class InputTimer {
public:
    InputTimer();
    ~InputTimer();

private:
    long long start_ns_;
};
