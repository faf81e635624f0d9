#include "protocol/JobGuard.h"

#include "desktop/Seams.h"
#include "protocol/InputDecode.h"
#include "protocol/ProtocolState.h"

#include <QCoreApplication>

namespace lumidra::protocol {

namespace {

// The flag a job raises while it waits for the board, and whether it is
// raised now for this job (the splash and the text share one flag, told
// apart by the text mode).
bool OwnFlagRaised(TJob job) {
    constexpr int SplashMode = 2;
    switch (job) {
        case TJob::LcdCommand: return LcdCommandPending;
        case TJob::LcdText: return LcdTextPending && JobReport[2] != SplashMode;
        case TJob::Splash: return LcdTextPending && JobReport[2] == SplashMode;
        case TJob::Image: return ImageSendPending;
        case TJob::FlashRead: return FlashReadPending && !JobActive;
        case TJob::FlashErase: return FlashErasePending;
        case TJob::FlashWrite: return FlashWritePending;
        case TJob::Dump: return DumpRequested && !JobActive;
        case TJob::Plot: return false;
    }
    return false;
}

}  // namespace

bool BoardBusy(TJob job) {
    const int raised = CurrentJobFlags().Raised();
    if (raised == 0) return false;
    // Only the job's own request, still unanswered, is up.
    return !(raised == 1 && OwnFlagRaised(job));
}

bool RefuseWhenBusy(TJob job) {
    if (!BoardBusy(job)) return false;
    desktop::Seams().MessageBox(QCoreApplication::translate("protocol", BoardBusyText),
                                QString::fromLatin1(desktop::AppTitle), desktop::TMsgIcon::Warning,
                                desktop::TMsgButtons::Ok);
    return true;
}

}  // namespace lumidra::protocol
