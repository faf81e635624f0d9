#include "protocol/JobCut.h"

#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

namespace lumidra::protocol {

std::optional<TJob> JobInHand(const TJobFlagsView& f) {
    constexpr std::uint8_t SplashMode = 2;
    if (f.ImageSendPending) return TJob::Image;
    if (f.LcdCommandPending) return TJob::LcdCommand;
    if (f.LcdTextPending) return f.JobMode == SplashMode ? TJob::Splash : TJob::LcdText;
    if (f.FlashReadPending) return TJob::FlashRead;
    if (f.FlashErasePending) return TJob::FlashErase;
    if (f.FlashWritePending) return TJob::FlashWrite;
    if (f.PlotPending) return TJob::Plot;
    if (f.DumpRequested || f.JobActive) return TJob::Dump;
    return std::nullopt;
}

TJobCutEnd JobCutEnd(TJob job, bool acknowledged, bool sameBoard) {
    const bool transfer = job == TJob::FlashRead || job == TJob::Dump;
    if (!sameBoard) return {false, false, transfer ? TransferCutText : JobCutUnpluggedText};
    TJobCutEnd end{false, true, JobCutReconnectedText};
    if (!acknowledged) return end;
    switch (job) {
        // These end with JobReport code 0; the plot's last step also sends
        // the cleared request.
        case TJob::FlashRead:
        case TJob::Dump:
        case TJob::Splash: return {true, false, JobCutReconnectedText};
        case TJob::Plot: return {true, true, JobCutReconnectedText};
        // The others end in the step that takes the acknowledgement: once
        // acknowledged they are no longer in hand.
        default: return end;
    }
}

void SendJobCutEnd(const TJobCutEnd& end) {
    StateReport[JobRequestByte] = 0;
    if (end.JobEnd) {
        JobReport[1] = 0;
        SendReport(JobReport);
    }
    if (end.StateEnd) SendReport(StateReport);
}

}  // namespace lumidra::protocol
