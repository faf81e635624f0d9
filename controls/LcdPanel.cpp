#include "controls/LcdPanel.h"

#include "controls/LcdScreen.h"
#include "protocol/JobGuard.h"
#include "protocol/JobOutcome.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

#include <QCoreApplication>
#include <algorithm>

namespace lumidra::controls {

using namespace protocol;

namespace {

constexpr std::uint8_t JobCodeLcdCommand = 4;
constexpr std::uint8_t JobCodeLcdText = 8;

// Controller bytes into DataReport from byte 1 on; bytes after them keep what
// earlier payloads left.
void RequestCommand(const std::vector<std::uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), DataReport.begin() + 1);
    LcdCommandPending = true;
    RequestJob();
}

}  // namespace

void CheckLightClick(bool ticked) {
    StateReport[4] = ticked ? CommandLightOn : CommandLightOff;
    SendReport(StateReport);
}

QString ContrastLabelText(int level) {
    return QCoreApplication::translate("controls", "Contrast : %1%").arg(ContrastPercent(level));
}

std::optional<QString> ContrastBarChange(int level, bool enabled) {
    // The box of a busy board would pop up at every step of a drag: the
    // slider stays quiet instead.
    if (!enabled || LcdCommandPending || BoardBusy(TJob::LcdCommand)) return std::nullopt;
    RequestCommand(ContrastBytes(level));
    return ContrastLabelText(level);
}

void Button7Click(const QString& commandLine) {
    // A line with nothing to send says nothing, busy board or not.
    const std::vector<std::uint8_t> bytes = CommandLineBytes(commandLine.toStdU16String());
    if (bytes.empty() || RefuseWhenBusy(TJob::LcdCommand)) return;
    RequestCommand(bytes);
}

void SendTextClick(std::uint8_t mode) {
    if (RefuseWhenBusy(TJob::LcdText)) return;
    LcdTextPending = true;
    JobReport[2] = mode;
    RequestJob();
}

void LcdCommandStep(const InputReport&) {
    JobReport[1] = JobCodeLcdCommand;
    SendReport(JobReport);
    SendReport(DataReport);
    EndJobRequest();
    LcdCommandPending = false;
    ReportJobOutcome(TJobOutcome::Done());
}

void LcdTextStep(const InputReport&, const QString& text, bool wrap) {
    JobReport[1] = JobCodeLcdText;
    SendReport(JobReport);
    for (const std::string& payload :
         LcdTextPayloads(CodePageBytes(text.toStdU16String()), wrap, JobReport[2] == TextModeNormal)) {
        std::copy(payload.begin(), payload.end(), DataReport.begin() + 1);
        SendReport(DataReport);
    }
    EndJobRequest();
    LcdTextPending = false;
    ReportJobOutcome(TJobOutcome::Done());
}

}  // namespace lumidra::controls
