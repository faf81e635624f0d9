// The board's LED display and indicators, and the PC clock labels beside them.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumidra::controls {

// Codes a key handler gives back besides the character itself.
inline constexpr char16_t KeySwallowed = 0;  // nothing is inserted
inline constexpr char16_t KeyBell = 7;       // refused: the bell rings, nothing is inserted
inline constexpr char16_t KeyBackspace = 8;
inline constexpr char16_t KeyEnter = 13;
inline constexpr char16_t KeyEscape = 27;

// What Edit1 does besides inserting (or not) the character.
enum class TEdit1Action { None, Send, Clear };
struct TEdit1Key {
    char16_t Key;
    TEdit1Action Action;
};

// The filter of the hexadecimal entry, for one typed character: Enter sends
// and Esc clears (both swallowed); the Cyrillic letters on the keys A-F give
// those capitals, either case; a-f are upper-cased; any other character, and
// a further digit once the field holds 4 characters with nothing selected,
// rings the bell. Backspace always passes.
TEdit1Key Edit1Filter(char16_t key, std::size_t length, bool selection);

// The two digit pairs of the LED display: Left goes to StateReport byte 2,
// Right to byte 1.
struct TLedDigits {
    std::uint8_t Left = 0;
    std::uint8_t Right = 0;
};

// Edit1's text as the display value: its first 4 characters, zeros put in
// front of a shorter one ("1F" -> 0x00, 0x1F).
TLedDigits LedValueDigits(std::string_view text);

// A clock label's text (" HH:MM:SS" or " DD.MM.YYYY") as packed decimal:
// characters 2-3 and 5-6.
TLedDigits ClockDigits(std::string_view label);

// "Send Caption", "Send Time", "Send Date": the digits into StateReport bytes
// 2 and 1, the display mode into bits 1-0 of byte 3 (00 value, 11 time, 10
// date; the indicator bits stay), and the whole StateReport goes out.
void Button1Click(std::string_view edit1Text);
void Button2Click(std::string_view labelTime);
void Button3Click(std::string_view labelDate);

// Indicator check boxes: StateReport byte 3 bit 2 ("Ind1") or bit 7 ("Ind2")
// follows the box; the whole StateReport goes out.
void CheckBox1Click(bool ticked);
void CheckBox2Click(bool ticked);

// One clock label text from a formatted time or date: cut to 10 characters,
// a single-digit first field padded ("9:05:07" -> "09:05:07"), then a
// single-digit second field ("05.3.2026" -> "05.03.2026"), then a leading
// blank. Send Time and Send Date read the digits back from fixed positions of
// this text, so the padding is what keeps them right.
QString ClockLabelText(const QString& formatted, QChar separator);

struct TClockTexts {
    QString Time;  // " HH:MM:SS"
    QString Date;  // " DD.MM.YYYY"
};

// The texts of LabelTime and LabelDate at `now`. The formats are fixed
// ("H:mm:ss", "dd.MM.yyyy"), not the locale's: a Linux locale's long time
// format carries a time zone and its short date may put the year first,
// which the digit positions above would misread.
TClockTexts ClockTexts(const QDateTime& now);

}  // namespace lumidra::controls
