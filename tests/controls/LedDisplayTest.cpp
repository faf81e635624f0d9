// The hexadecimal entry's key filter and the digit pairs of the LED display.
#include "controls/LedDisplay.h"

#include <gtest/gtest.h>

namespace lumidra::controls {
namespace {

struct TKeyCase {
    const char* Name;
    char16_t Typed;
    std::size_t Length;
    bool Selection;
    char16_t Key;
    TEdit1Action Action = TEdit1Action::None;
};
void PrintTo(const TKeyCase& c, std::ostream* os) {
    *os << c.Name;
}

class Edit1Key : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(Edit1Key, FilteredInItsOrder) {
    const TKeyCase& c = GetParam();
    const TEdit1Key result = Edit1Filter(c.Typed, c.Length, c.Selection);
    EXPECT_EQ(result.Key, c.Key);
    EXPECT_EQ(result.Action, c.Action);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Edit1Key,
    ::testing::Values(TKeyCase{"EnterSendsEvenWhenFull", KeyEnter, 4, false, KeySwallowed, TEdit1Action::Send},
                      TKeyCase{"EscClears", KeyEscape, 2, false, KeySwallowed, TEdit1Action::Clear},
                      TKeyCase{"CyrillicEfIsA", u'ф', 0, false, u'A'}, TKeyCase{"CyrillicCapitalEfIsA", u'Ф', 0, false, u'A'},
                      TKeyCase{"CyrillicIIsB", u'и', 0, false, u'B'}, TKeyCase{"CyrillicEsIsC", u'С', 0, false, u'C'},
                      TKeyCase{"CyrillicVeIsD", u'в', 0, false, u'D'}, TKeyCase{"CyrillicUIsE", u'У', 0, false, u'E'},
                      TKeyCase{"CyrillicAIsF", u'а', 0, false, u'F'}, TKeyCase{"LowerCaseUpCased", u'c', 1, false, u'C'},
                      TKeyCase{"DigitPasses", u'7', 3, false, u'7'},
                      TKeyCase{"OtherLetterRings", u'g', 0, false, KeyBell},
                      TKeyCase{"OtherCyrillicRings", u'ж', 0, false, KeyBell},
                      TKeyCase{"FifthDigitRings", u'5', 4, false, KeyBell},
                      TKeyCase{"FifthDigitReplacesASelection", u'5', 4, true, u'5'},
                      TKeyCase{"MappedFifthDigitRings", u'ф', 4, false, KeyBell},
                      TKeyCase{"BackspaceWhenFull", KeyBackspace, 6, false, KeyBackspace}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TDigitsCase {
    const char* Name;
    TLedDigits (*Digits)(std::string_view);
    const char* Text;
    std::uint8_t Left;
    std::uint8_t Right;
};
void PrintTo(const TDigitsCase& c, std::ostream* os) {
    *os << c.Name;
}

class LedDigits : public ::testing::TestWithParam<TDigitsCase> {};

TEST_P(LedDigits, PackedFromTheText) {
    const TLedDigits digits = GetParam().Digits(GetParam().Text);
    EXPECT_EQ(digits.Left, GetParam().Left);
    EXPECT_EQ(digits.Right, GetParam().Right);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LedDigits,
    ::testing::Values(TDigitsCase{"FourDigits", LedValueDigits, "ABCD", 0xAB, 0xCD},
                      TDigitsCase{"OneDigitZeroPadded", LedValueDigits, "7", 0x00, 0x07},
                      TDigitsCase{"TwoDigits", LedValueDigits, "1F", 0x00, 0x1F},
                      TDigitsCase{"EmptyIsZero", LedValueDigits, "", 0x00, 0x00},
                      TDigitsCase{"PastedLongerTextCut", LedValueDigits, "123456", 0x12, 0x34},
                      TDigitsCase{"TimeHoursAndMinutes", ClockDigits, " 09:05:07", 0x09, 0x05},
                      TDigitsCase{"LateTimePackedDecimal", ClockDigits, " 23:59:59", 0x23, 0x59},
                      TDigitsCase{"DateDayAndMonth", ClockDigits, " 05.03.2026", 0x05, 0x03}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace lumidra::controls
