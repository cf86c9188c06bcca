// How far a long package check has got, told on standard error so that the
// report on standard output (and its JSON) stays as it is: nothing for a
// check done within a second; after that, at most once a second, a line with
// the runs done of the runs planned and, once a few are done, the time left
// at their pace; and a last line when the check ends. The check plans more
// runs as runs tell of them (the touch pads an INF declares, upgrades), so
// the total can grow.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

class CheckProgress {
public:
    // Seconds from any fixed moment; the steady clock unless a test gives one.
    using Clock = std::function<double()>;

    // The check starts now.
    explicit CheckProgress(std::ostream& out, Clock clock = {});

    // The check plans this many more runs.
    void expect(size_t runs);
    // One more run is done: on this Windows and machine.
    void ran(const std::string& windows, const std::string& machine);
    // The check is done.
    void end();

private:
    static constexpr double QUIET_SECONDS = 1.0;  // a check this short says nothing
    static constexpr double LINE_SECONDS = 1.0;   // and a longer one a line this often
    static constexpr size_t PACE_RUNS = 3;        // runs done before their pace tells the time left

    std::ostream& out_;
    Clock clock_;
    double start_ = 0;
    double last_line_ = 0;
    bool told_ = false;  // a line was written
    size_t done_ = 0;
    size_t planned_ = 0;
};
