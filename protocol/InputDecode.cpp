#include "protocol/InputDecode.h"

#include "protocol/Hex.h"
#include "protocol/ProtocolState.h"

#include <algorithm>
#include <cstring>

namespace lumidra::protocol {

InputReport CopyInputReport(const std::uint8_t* data, std::size_t size) {
    InputReport report{};
    if (data != nullptr) std::memcpy(report.data(), data, std::min(size, report.size()));
    return report;
}

int TJobFlagsView::Raised() const {
    int raised = 0;
#define LUMIDRA_COUNT_FLAG(name, job, holdsStatus) raised += name;
    LUMIDRA_JOB_FLAGS(LUMIDRA_COUNT_FLAG)
#undef LUMIDRA_COUNT_FLAG
    return raised;
}

int TJobFlagsView::HoldingStatus() const {
    int holding = 0;
#define LUMIDRA_COUNT_HOLDING(name, job, holdsStatus) holding += (holdsStatus) && name;
    LUMIDRA_JOB_FLAGS(LUMIDRA_COUNT_HOLDING)
#undef LUMIDRA_COUNT_HOLDING
    return holding;
}

TJobFlagsView CurrentJobFlags() {
    TJobFlagsView flags;
#define LUMIDRA_COPY_FLAG(name, job, holdsStatus) flags.name = name;
    LUMIDRA_JOB_FLAGS(LUMIDRA_COPY_FLAG)
#undef LUMIDRA_COPY_FLAG
    flags.JobMode = JobReport[2];
    return flags;
}

TInputRoute DecideInputRoute(std::uint8_t jobAck, const TJobFlagsView& f) {
    const bool acknowledged = jobAck != 0;
    if (!acknowledged && f.HoldingStatus() == 0) return TInputRoute::Status;
    auto needsAck = [&](TInputRoute step) { return acknowledged ? step : TInputRoute::Drop; };
    if (f.ImageSendPending) return needsAck(TInputRoute::ImageStep);
    if (f.LcdCommandPending) return needsAck(TInputRoute::LcdCommandStep);
    if (f.LcdTextPending && f.JobMode == 2) return needsAck(TInputRoute::SplashStep);
    if (f.LcdTextPending) return needsAck(TInputRoute::LcdTextStep);
    if (f.FlashReadPending) return TInputRoute::FlashReadStep;
    if (f.FlashErasePending) return needsAck(TInputRoute::FlashEraseStep);
    if (f.FlashWritePending) return needsAck(TInputRoute::FlashWriteStep);
    if (f.PlotPending) return f.JobActive ? TInputRoute::PlotStep : needsAck(TInputRoute::PlotStep);
    // The dump: under way, or asked for and now acknowledged. An
    // acknowledgement with no dump asked for is dropped.
    if (f.JobActive || f.DumpRequested) return TInputRoute::DumpStep;
    return TInputRoute::Drop;
}

int ChannelPercent(int value) {
    return value * 100 / 1023;
}

std::string ChannelText(std::string_view format, int channel, int value) {
    return ChannelTextWithPercent(format, channel, std::to_string(ChannelPercent(value)));
}

std::string ChannelTextWithPercent(std::string_view format, int channel, const std::string& percent) {
    std::string text;
    for (std::size_t at = 0; at < format.size(); ++at) {
        const bool mark = format[at] == '%' && at + 1 < format.size();
        if (mark && format[at + 1] == '1') {
            text += std::to_string(channel);
        } else if (mark && format[at + 1] == '2') {
            text += percent;
        } else {
            text += format[at];
            continue;
        }
        ++at;
    }
    return text;
}

TStatusView DecodeStatus(const std::uint8_t* r) {
    TStatusView v;
    v.Channel1 = r[1] * 256 + r[0];
    v.Channel2 = r[3] * 256 + r[2];
    for (int bit = 0; bit < 4; ++bit) v.Inputs[bit] = (r[4] >> bit) & 1;

    v.KeyStatus = r[InputKeyStatus];
    switch (v.KeyStatus) {
        case 0:
            v.KeyText = NoKeyText;
            v.KeyStatusText = KeyInactiveText;
            break;
        case 1: {
            std::string display;
            std::string compact;
            for (int i = 15; i >= 8; --i) {
                const std::string pair = ByteToHex(r[i]);
                display += ' ' + pair;
                compact += pair;
            }
            v.KeyText = display;
            v.KeyId = compact;
            v.KeyStatusText = KeyHeldText;
            break;
        }
        case 2: v.KeyStatusText = KeyReadText; break;
        case 5:
        case 8:
            v.KeyText = NoKeyText;
            v.KeyStatusText = KeyReadErrorText;
            break;
        default: break;
    }
    return v;
}

}  // namespace lumidra::protocol
