#include "controls/LedDisplay.h"

#include <gtest/gtest.h>

namespace lumidra::controls {
namespace {

TEST(ClockLabelText, PadsSingleDigitFieldsAndLeadsWithABlank) {
    const QChar colon(QLatin1Char(':'));
    EXPECT_EQ(ClockLabelText(QStringLiteral("09:05:07"), colon), QStringLiteral(" 09:05:07"));
    EXPECT_EQ(ClockLabelText(QStringLiteral("9:05:07"), colon), QStringLiteral(" 09:05:07"));
    EXPECT_EQ(ClockLabelText(QStringLiteral("12:5:07"), colon), QStringLiteral(" 12:05:07"));
    EXPECT_EQ(ClockLabelText(QStringLiteral("9:5:07"), colon), QStringLiteral(" 09:05:07"));
    const QChar dot(QLatin1Char('.'));
    EXPECT_EQ(ClockLabelText(QStringLiteral("5.3.2026"), dot), QStringLiteral(" 05.03.2026"));
    EXPECT_EQ(ClockLabelText(QStringLiteral("05.03.2026"), dot), QStringLiteral(" 05.03.2026"));
}

TEST(ClockLabelText, KeepsAtMostTenCharacters) {
    const QChar colon(QLatin1Char(':'));
    EXPECT_EQ(ClockLabelText(QStringLiteral("09:05:07 PM CET"), colon), QStringLiteral(" 09:05:07 P"));
    // Padding pushes the tail out rather than growing the text.
    EXPECT_EQ(ClockLabelText(QStringLiteral("9:5:07 1234"), colon), QStringLiteral(" 09:05:07 1"));
    EXPECT_EQ(ClockLabelText(QString(), colon), QStringLiteral(" "));
}

TEST(ClockTexts, TimeAndDateAsTheDisplayReadsThem) {
    const TClockTexts morning = ClockTexts(QDateTime(QDate(2026, 3, 5), QTime(9, 5, 7)));
    EXPECT_EQ(morning.Time, QStringLiteral(" 09:05:07"));
    EXPECT_EQ(morning.Date, QStringLiteral(" 05.03.2026"));
    const TClockTexts night = ClockTexts(QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59)));
    EXPECT_EQ(night.Time, QStringLiteral(" 23:59:59"));
    EXPECT_EQ(night.Date, QStringLiteral(" 31.12.2025"));
}

}  // namespace
}  // namespace lumidra::controls
