#include "setup-sim/check_progress.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "platform/sim/codepage.h"

namespace {

double steady_seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string seconds_text(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

CheckProgress::CheckProgress(std::ostream& out, Clock clock)
    : out_(out), clock_(clock ? std::move(clock) : Clock(steady_seconds)), start_(clock_()), last_line_(start_)
{
}

void CheckProgress::expect(size_t runs)
{
    planned_ += runs;
}

void CheckProgress::ran(const std::string& windows, const std::string& machine)
{
    ++done_;
    const double now = clock_();
    if (now - start_ < QUIET_SECONDS || (told_ && now - last_line_ < LINE_SECONDS)) return;
    const double elapsed = now - start_;
    out_ << "setup-sim check: " << done_ << " of " << planned_ << " runs done, " << seconds_text(elapsed);
    if (done_ >= PACE_RUNS && done_ < planned_) {
        out_ << ", about " << seconds_text(elapsed / static_cast<double>(done_) * static_cast<double>(planned_ - done_))
             << " left";
    }
    out_ << " (last: " << sim::escaped_utf8(windows) << ", " << sim::escaped_utf8(machine) << ")\n" << std::flush;
    told_ = true;
    last_line_ = now;
}

void CheckProgress::end()
{
    const double now = clock_();
    if (now - start_ < QUIET_SECONDS && !told_) return;
    out_ << "setup-sim check: " << done_ << " runs done in " << seconds_text(now - start_) << '\n' << std::flush;
}
