// The command line walk, the contrast command and the text screen's line pass.
#include "controls/LcdScreen.h"

#include <gtest/gtest.h>

namespace lumidra::controls {
namespace {

using TBytes = std::vector<std::uint8_t>;

template <typename TString>
TString Repeat(const TString& unit, int times) {
    TString text;
    for (int i = 0; i < times; ++i) text += unit;
    return text;
}

TBytes Filled(std::uint8_t byte, std::size_t count, std::initializer_list<std::uint8_t> tail = {}) {
    TBytes bytes(count, byte);
    bytes.insert(bytes.end(), tail);
    return bytes;
}

struct TCommandCase {
    const char* Name;
    std::u16string Line;
    TBytes Bytes;
};
void PrintTo(const TCommandCase& c, std::ostream* os) {
    *os << c.Name;
}

class CommandLine : public ::testing::TestWithParam<TCommandCase> {};

TEST_P(CommandLine, DigitsPairedIntoControllerBytes) {
    EXPECT_EQ(CommandLineBytes(GetParam().Line), GetParam().Bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Walk, CommandLine,
    ::testing::Values(
        TCommandCase{"BlanksCommasAndPrefixDroppedLastOddDigitIgnored", u"ae 2f,0x40", {0xAE, 0x2F, 0x04, 0xE3}},
        TCommandCase{"NoCompletePairSendsNothing", u"x7 г", {}},
        TCommandCase{"OtherLettersAndCyrillicDropped", u"Зa-G1", {0xA1, 0xE3}},
        TCommandCase{"SixtyThreeBytesStillEnd", Repeat<std::u16string>(u"11", 63), Filled(0x11, 63, {0xE3})},
        TCommandCase{"128DigitsFillAllWithoutEnd", Repeat<std::u16string>(u"ff", 64), Filled(0xFF, 64)},
        TCommandCase{"DigitsAfterThe128thIgnored", Repeat<std::u16string>(u"12", 70), Filled(0x12, 64)},
        TCommandCase{"OnlyTheFirst200CharactersRead", std::u16string(198, u' ') + u"abcd", {0xAB, 0xE3}}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(Contrast, CommandAndTruncatedPercentageForEveryLevel) {
    EXPECT_EQ(ContrastBytes(13), (TBytes{0xAD, 0x8D, 0xE3}));
    constexpr int percent[ContrastMax + 1] = {0,  3,  6,  9,  12, 16, 19, 22, 25, 29, 32, 35, 38, 41, 45, 48,
                                              51, 54, 58, 61, 64, 67, 70, 74, 77, 80, 83, 87, 90, 93, 96, 100};
    for (int level = 0; level <= ContrastMax; ++level) EXPECT_EQ(ContrastPercent(level), percent[level]) << level;
}

struct TLineCase {
    const char* Name;
    std::string Text;
    bool Wrap;
    std::string Screen;  // the result before its padding to 128
};
void PrintTo(const TLineCase& c, std::ostream* os) {
    *os << c.Name;
}

class LinePass : public ::testing::TestWithParam<TLineCase> {};

TEST_P(LinePass, LinesOfSixteen) {
    std::string expected = GetParam().Screen;
    expected.resize(std::max(expected.size(), LcdScreenSize), ' ');
    EXPECT_EQ(LcdLinePass(GetParam().Text, GetParam().Wrap), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, LinePass,
    ::testing::Values(
        TLineCase{"WrapMovesTheCutWord", "ABCDEFGHIJ KLMNOPQRST", true, "ABCDEFGHIJ      KLMNOPQRST"},
        TLineCase{"NoWrapCutsTheWord", "ABCDEFGHIJ KLMNOPQRST", false, "ABCDEFGHIJ KLMNOPQRST"},
        TLineCase{"BlankAfterAFullLineDroppedWithWrap", "ABCDEFGHIJKLMNOP QRS", true, "ABCDEFGHIJKLMNOPQRS"},
        TLineCase{"BlankAfterAFullLineDroppedWithoutWrap", "ABCDEFGHIJKLMNOP QRS", false, "ABCDEFGHIJKLMNOPQRS"},
        TLineCase{"OnlyBlankInColumn16NotWrapped", "ABCDEFGHIJKLMNO QRSTU", true, "ABCDEFGHIJKLMNO QRSTU"},
        TLineCase{"EveryLineWrapped", "AAAA BBBBBBBBBBBB CCCC DDDDDDDDDDDD", true,
                  "AAAA            BBBBBBBBBBBB    CCCC            DDDDDDDDDDDD"},
        TLineCase{"EmptyTextIsBlanks", "", true, ""},
        // Every word on a line of its own: 300 characters grow to 474, far
        // past what 8-bit positions could count, and nothing is cut here.
        TLineCase{"GrowsPast256", Repeat<std::string>("WWWWWWWWW ", 30), true,
                  Repeat<std::string>("WWWWWWWWW       ", 29) + "WWWWWWWWW "}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::controls
