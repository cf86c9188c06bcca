// What every fuzz target shares: a simulated machine whose drive C is one
// temporary folder for the whole fuzzing run, and a limit on the time one
// input may take.
#pragma once

#include <chrono>
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

// Aborts, so that libFuzzer keeps the input, when one input takes more than
// 100 ms: nothing the program reads should cost that much.
class InputTimer {
public:
    InputTimer() : start_(std::chrono::steady_clock::now()) {}
    ~InputTimer();

private:
    std::chrono::steady_clock::time_point start_;
};
