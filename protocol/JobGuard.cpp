#include "protocol/JobGuard.h"

#include "desktop/Seams.h"
#include "protocol/InputDecode.h"
#include "protocol/JobCut.h"
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
    desktop::Seams().MessageBox(QCoreApplication::translate("protocol", BoardBusyText),
                                QString::fromLatin1(desktop::AppTitle), desktop::TMsgIcon::Warning,
                                desktop::TMsgButtons::Ok);
    return true;
}

}  // namespace lumidra::protocol
