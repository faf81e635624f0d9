#include "protocol/JobOutcome.h"

#include "desktop/Seams.h"

namespace lumidra::protocol {

std::function<void(const TJobOutcome&)> JobOutcomeSink;

void ReportJobOutcome(const TJobOutcome& outcome) {
    if (JobOutcomeSink) {
        JobOutcomeSink(outcome);
        return;
    }
    if (outcome.Kind == TOutcome::Failed && outcome.Failure != TFailure::NotAsked) {
        desktop::Seams().MessageBox(
            outcome.Text, QString::fromLatin1(desktop::AppTitle),
            outcome.Failure == TFailure::Refused ? desktop::TMsgIcon::Warning : desktop::TMsgIcon::Error,
            desktop::TMsgButtons::Ok);
    } else if (!outcome.Text.isEmpty()) {
        desktop::Seams().ShowMessage(outcome.Text);
    }
}

}  // namespace lumidra::protocol
