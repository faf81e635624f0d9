// The board's LED display and indicators, and the PC clock labels beside them.
#pragma once

#include <QDateTime>
#include <QString>

namespace lumidra::controls {

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
