// The hexadecimal entry's key filter.
#include "controls/LedDisplay.h"

#include <gtest/gtest.h>

namespace lumidra::controls {
namespace {

struct TKeyCase {
    const char* Name;
    std::u16string Typed;  // each typed into a field of `Length` characters
    std::size_t Length;
    bool Selection;
    std::u16string Keys;  // what each became
    TEdit1Action Action = TEdit1Action::None;
};
void PrintTo(const TKeyCase& c, std::ostream* os) {
    *os << c.Name;
}

class Edit1Key : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(Edit1Key, FilteredInItsOrder) {
    const TKeyCase& c = GetParam();
    std::u16string keys;
    for (const char16_t typed : c.Typed) {
        const TEdit1Key result = Edit1Filter(typed, c.Length, c.Selection);
        keys += result.Key;
        EXPECT_EQ(result.Action, c.Action);
    }
    EXPECT_TRUE(keys == c.Keys);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Edit1Key,
    ::testing::Values(
        TKeyCase{"EnterSendsEvenWhenFull", {KeyEnter}, 4, false, {KeySwallowed}, TEdit1Action::Send},
        TKeyCase{"EscClears", {KeyEscape}, 2, false, {KeySwallowed}, TEdit1Action::Clear},
        TKeyCase{"CyrillicOnTheKeysAToFBothCases", u"ФфИиСсВвУуАа", 0, false, u"AABBCCDDEEFF"},
        TKeyCase{"DigitsAndUpCasedLetters", u"09afAF", 3, false, u"09AFAF"},
        TKeyCase{"AnythingElseRings", u"gGжЖ x", 0, false, std::u16string(6, KeyBell)},
        TKeyCase{"FifthDigitRings", u"5ф", 4, false, std::u16string(2, KeyBell)},
        TKeyCase{"FifthDigitReplacesASelection", u"5ф", 4, true, u"5A"},
        TKeyCase{"BackspaceAndNullPassWhenFull", {KeyBackspace, KeySwallowed}, 6, false, {KeyBackspace, KeySwallowed}}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::controls
