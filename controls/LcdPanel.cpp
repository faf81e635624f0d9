#include "controls/LcdPanel.h"

#include "controls/LcdScreen.h"
#include "keybase/KeyBaseText.h"
#include "protocol/JobGuard.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

#include <QList>

#include <algorithm>

namespace lumidra::controls {

using namespace protocol;

namespace {

constexpr std::uint8_t JobCodeLcdCommand = 4;
constexpr std::uint8_t JobCodeLcdText = 8;

// Asks the board for the job whose flag the caller has just raised.
void RequestJob() {
    StateReport[5] = 1;
    SendReport(StateReport);
}

// The job's last report: no job requested any more.
void EndJobRequest() {
    StateReport[5] = 0;
    SendReport(StateReport);
}

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
    return QStringLiteral("Contrast : %1%").arg(ContrastPercent(level));
}

std::optional<QString> ContrastBarChange(int level, bool enabled) {
    // The box of a busy board would pop up at every step of a drag: the
    // slider stays quiet instead.
    if (!enabled || LcdCommandPending || BoardBusy(TJob::LcdCommand)) return std::nullopt;
    RequestCommand(ContrastBytes(level));
    return ContrastLabelText(level);
}

void Button7Click(const QString& commandLine) {
    if (RefuseWhenBusy(TJob::LcdCommand)) return;
    const std::vector<std::uint8_t> bytes = CommandLineBytes(commandLine.toStdU16String());
    if (bytes.empty()) return;
    RequestCommand(bytes);
}

void SendTextClick(std::uint8_t mode) {
    if (RefuseWhenBusy(TJob::LcdText)) return;
    LcdTextPending = true;
    JobReport[2] = mode;
    RequestJob();
}

std::string LcdTextBytes(const QString& text) {
    // Most texts encode whole; one character a time only finds the ones that
    // do not (the key base's codec refuses a text with any of them).
    const keybase::TEncodedKeyBase whole = keybase::EncodeKeyBaseFile(text);
    if (whole.ok() && whole.Bytes.size() == text.size()) return whole.Bytes.toStdString();

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t character : text.toUcs4()) {  // an unpaired surrogate reads as U+FFFD
        // The key base's codec writes a line end as CR LF.
        if (character == U'\n') {
            bytes.push_back('\n');
            continue;
        }
        const keybase::TEncodedKeyBase one = keybase::EncodeKeyBaseFile(QString::fromUcs4(&character, 1));
        bytes.push_back(one.ok() && one.Bytes.size() == 1 ? one.Bytes[0] : '?');
    }
    return bytes;
}

void LcdCommandStep(const InputReport&) {
    JobReport[1] = JobCodeLcdCommand;
    SendReport(JobReport);
    SendReport(DataReport);
    EndJobRequest();
    LcdCommandPending = false;
}

void LcdTextStep(const InputReport&, const QString& text, bool wrap) {
    JobReport[1] = JobCodeLcdText;
    SendReport(JobReport);
    for (const std::string& payload : LcdTextPayloads(LcdTextBytes(text), wrap, JobReport[2] == TextModeNormal)) {
        std::copy(payload.begin(), payload.end(), DataReport.begin() + 1);
        SendReport(DataReport);
    }
    EndJobRequest();
    LcdTextPending = false;
}

}  // namespace lumidra::controls
