#include "protocol/JobCut.h"

#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

namespace lumidra::protocol {

std::optional<TJob> JobInHand(const TJobFlagsView& f) {
    constexpr std::uint8_t SplashMode = 2;
    std::optional<TJob> job;
#define LUMIDRA_FIRST_JOB(name, flagJob, holdsStatus) \
    if (!job && f.name) job = flagJob;
    LUMIDRA_JOB_FLAGS(LUMIDRA_FIRST_JOB)
#undef LUMIDRA_FIRST_JOB
    // The splash and the text share one flag, told apart by the text mode.
    if (job == TJob::LcdText && f.JobMode == SplashMode) return TJob::Splash;
    // A job under way with no request of its own left up is the dump.
    if (!job && f.JobActive) return TJob::Dump;
    return job;
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
