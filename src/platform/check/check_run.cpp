#include "platform/check/check_run.h"

namespace check {

namespace {
RunSettings settings;
record::RunRecord run;
}  // namespace

void start_run(const RunSettings& chosen)
{
    settings = chosen;
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
    record::answer_box(&box, 0);
    run.boxes.push_back(box);
    return box.answer;
}

}  // namespace check
