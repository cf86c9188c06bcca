#include "platform/check/check_run.h"

namespace check {

namespace {
RunSettings settings;
record::RunRecord run;
size_t answers_used = 0;
}  // namespace

void start_run(const RunSettings& chosen)
{
    settings = chosen;
    answers_used = 0;
    run = record::RunRecord{};
    run.check_run = true;
}

const RunSettings& run_settings()
{
    return settings;
}

record::RunRecord& run_record()
{
    return run;
}

int show_box(record::Box box)
{
    record::answer_box(&box, answers_used < settings.answers.size() ? settings.answers[answers_used++] : 0);
    return record::add_box(&run, box).answer;
}

}  // namespace check
