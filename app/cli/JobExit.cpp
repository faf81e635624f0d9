#include "app/cli/JobExit.h"

#include "app/cli/CliOptions.h"

namespace lumidra::cli {

using protocol::TOutcome;

std::optional<int> ExitCodeOf(const protocol::TJobOutcome& outcome) {
    switch (outcome.Kind) {
        case TOutcome::Done: return ExitDone;
        case TOutcome::Waiting: return std::nullopt;
        case TOutcome::Failed:
        case TOutcome::Cut: return ExitFailed;
    }
    return ExitFailed;
}

bool Told(const protocol::TJobOutcome& outcome, bool quiet) {
    if (outcome.Text.isEmpty() || outcome.Kind == TOutcome::Waiting) return false;
    return outcome.Kind != TOutcome::Done || !quiet;
}

TOutcomeTaker::TOutcomeTaker(std::function<void(const protocol::TJobOutcome&)> take) {
    protocol::JobOutcomeSink = std::move(take);
}

TOutcomeTaker::~TOutcomeTaker() {
    protocol::JobOutcomeSink = nullptr;
}

}  // namespace lumidra::cli
