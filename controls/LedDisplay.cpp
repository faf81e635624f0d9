#include "controls/LedDisplay.h"

#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

namespace lumidra::controls {

using protocol::SendReport;
using protocol::StateReport;

namespace {

constexpr std::uint8_t Indicator1Bit = 0x04;
constexpr std::uint8_t Indicator2Bit = 0x80;
constexpr qsizetype ClockTextLength = 10;

void SetIndicator(std::uint8_t bit, bool on) {
    StateReport[3] = static_cast<std::uint8_t>(on ? StateReport[3] | bit : StateReport[3] & ~bit);
    SendReport(StateReport);
}

}  // namespace

void CheckBox1Click(bool ticked) {
    SetIndicator(Indicator1Bit, ticked);
}

void CheckBox2Click(bool ticked) {
    SetIndicator(Indicator2Bit, ticked);
}

QString ClockLabelText(const QString& formatted, QChar separator) {
    QString text = formatted.left(ClockTextLength);
    if (text.size() >= 2 && text[1] == separator) {
        text.prepend(QLatin1Char('0'));
        text.truncate(ClockTextLength);
    }
    if (text.size() >= 5 && text[4] == separator) {
        text.insert(3, QLatin1Char('0'));
        text.truncate(ClockTextLength);
    }
    return QLatin1Char(' ') + text;
}

TClockTexts ClockTexts(const QDateTime& now) {
    return {ClockLabelText(now.time().toString(QStringLiteral("H:mm:ss")), QLatin1Char(':')),
            ClockLabelText(now.date().toString(QStringLiteral("dd.MM.yyyy")), QLatin1Char('.'))};
}

}  // namespace lumidra::controls
