#include "controls/LedDisplay.h"

#include "protocol/Hex.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

#include <algorithm>
#include <string>

namespace lumidra::controls {

using protocol::SendReport;
using protocol::StateReport;

namespace {

constexpr std::uint8_t Indicator1Bit = 0x04;
constexpr std::uint8_t Indicator2Bit = 0x80;
constexpr qsizetype ClockTextLength = 10;

constexpr std::size_t LedDigitCount = 4;
constexpr std::uint8_t ModeMask = 0x03;
constexpr std::uint8_t ModeTime = 0x03;
constexpr std::uint8_t ModeDate = 0x02;

void SetIndicator(std::uint8_t bit, bool on) {
    StateReport[3] = static_cast<std::uint8_t>(on ? StateReport[3] | bit : StateReport[3] & ~bit);
    SendReport(StateReport);
}

// The Cyrillic letters on the keys that carry A to F (upper and lower case),
// in that order.
constexpr char16_t CyrillicOnHexKeys[6][2] = {
    {u'Ф', u'ф'}, {u'И', u'и'}, {u'С', u'с'}, {u'В', u'в'}, {u'У', u'у'}, {u'А', u'а'},
};

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

// A character of `text` counted from 1; one that is not there reads as "0".
std::uint8_t CharAt(std::string_view text, std::size_t position) {
    return static_cast<std::uint8_t>(position <= text.size() ? text[position - 1] : '0');
}

TLedDigits PairsAt(std::string_view text, std::size_t left, std::size_t right) {
    return {protocol::HexPairToByte(CharAt(text, left), CharAt(text, left + 1)),
            protocol::HexPairToByte(CharAt(text, right), CharAt(text, right + 1))};
}

// The mode bits become (byte 3 OR `set`) AND NOT `clear`.
void ShowOnLed(TLedDigits digits, std::uint8_t set, std::uint8_t clear) {
    StateReport[1] = digits.Right;
    StateReport[2] = digits.Left;
    StateReport[3] = static_cast<std::uint8_t>((StateReport[3] | set) & ~clear);
    SendReport(StateReport);
}

}  // namespace

TEdit1Key Edit1Filter(char16_t key, std::size_t length, bool selection) {
    if (key == KeyEnter) return {KeySwallowed, TEdit1Action::Send};
    if (key == KeyEscape) return {KeySwallowed, TEdit1Action::Clear};
    for (int i = 0; i < 6; ++i) {
        if (key == CyrillicOnHexKeys[i][0] || key == CyrillicOnHexKeys[i][1]) key = static_cast<char16_t>(u'A' + i);
    }
    if (key >= u'a' && key <= u'f') key = static_cast<char16_t>(key - u'a' + u'A');
    if (key == KeySwallowed || key == KeyBackspace) return {key, TEdit1Action::None};
    if (!IsHexDigit(key) || (length >= LedDigitCount && !selection)) return {KeyBell, TEdit1Action::None};
    return {key, TEdit1Action::None};
}

TLedDigits LedValueDigits(std::string_view text) {
    text = text.substr(0, LedDigitCount);
    const std::string padded = std::string(LedDigitCount - text.size(), '0') + std::string(text);
    return PairsAt(padded, 1, 3);
}

TLedDigits ClockDigits(std::string_view label) {
    return PairsAt(label, 2, 5);
}

void Button1Click(std::string_view edit1Text) {
    ShowOnLed(LedValueDigits(edit1Text), 0, ModeMask);
}

void Button2Click(std::string_view labelTime) {
    ShowOnLed(ClockDigits(labelTime), ModeTime, 0);
}

void Button3Click(std::string_view labelDate) {
    ShowOnLed(ClockDigits(labelDate), ModeDate, ModeMask & ~ModeDate);
}

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
