// What the console program makes of a job's outcome: its exit code, and
// whether it is told.
#pragma once

#include "protocol/JobOutcome.h"

#include <functional>
#include <optional>

namespace lumidra::cli {

// The run's exit code for `outcome`; none while the job waits for the
// operator (the run goes on).
std::optional<int> ExitCodeOf(const protocol::TJobOutcome& outcome);

// Whether `outcome`'s text goes to standard error: a failure or a cut always,
// a done job's message unless `quiet`, a wait never (the run tells it its way).
bool Told(const protocol::TJobOutcome& outcome, bool quiet);

// Takes the outcomes reported while it lives, in place of the window's
// presentation.
class TOutcomeTaker {
public:
    explicit TOutcomeTaker(std::function<void(const protocol::TJobOutcome&)> take);
    ~TOutcomeTaker();
    TOutcomeTaker(const TOutcomeTaker&) = delete;
    TOutcomeTaker& operator=(const TOutcomeTaker&) = delete;
};

}  // namespace lumidra::cli
