#include "protocol/JobGuard.h"

#include "desktop/Seams.h"
#include "protocol/InputDecode.h"
#include "protocol/JobCut.h"
#include "protocol/JobOutcome.h"
#include "protocol/ProtocolState.h"

#include <QCoreApplication>

namespace lumidra::protocol {

bool BoardBusy(TJob job) {
    const TJobFlagsView flags = CurrentJobFlags();
    const int raised = flags.Raised();
    if (raised == 0) return false;
    // Only the job's own request, still unanswered, is up. A plot is never
    // asked for twice: its start opens the plot and its record.
    const bool ownRequestOnly = raised == 1 && !flags.JobActive && JobInHand(flags) == job;
    return !(ownRequestOnly && job != TJob::Plot);
}

bool RefuseWhenBusy(TJob job) {
    if (!BoardBusy(job)) return false;
    ReportJobOutcome(TJobOutcome::Failed(QCoreApplication::translate("protocol", BoardBusyText), TFailure::Refused));
    return true;
}

}  // namespace lumidra::protocol
