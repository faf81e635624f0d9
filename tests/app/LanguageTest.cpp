// The language of a run: --lang, else the system's UI languages.
#include "app/session/Language.h"

#include <gtest/gtest.h>

#include <ostream>

namespace lumidra::testing {
namespace {

using app::TLanguage;

struct TLanguageCase {
    const char* Name;
    QStringList UiLanguages;
    std::string Option;
    TLanguage Expected;
    friend void PrintTo(const TLanguageCase& c, std::ostream* os) { *os << c.Name; }
};

class LanguageChoice : public ::testing::TestWithParam<TLanguageCase> {};

TEST_P(LanguageChoice, Chooses) {
    const TLanguageCase& c = GetParam();
    EXPECT_EQ(app::ChooseLanguage(c.UiLanguages, c.Option), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LanguageChoice,
    ::testing::Values(TLanguageCase{"Russian", {"ru-RU", "ru"}, "", TLanguage::Russian},
                      TLanguageCase{"English", {"en-GB"}, "", TLanguage::English},
                      TLanguageCase{"UnderscoreSpelling", {"ru_UA"}, "", TLanguage::Russian},
                      TLanguageCase{"FirstOfTheTwoDecides", {"de-DE", "en-US", "ru-RU"}, "", TLanguage::English},
                      TLanguageCase{"RussianAfterAnother", {"uk-UA", "ru-RU", "en"}, "", TLanguage::Russian},
                      TLanguageCase{"NeitherIsEnglish", {"de-DE", "fr"}, "", TLanguage::English},
                      TLanguageCase{"NotJustAPrefix", {"rue", "ens"}, "", TLanguage::English},
                      TLanguageCase{"PlainC", {"C"}, "", TLanguage::Source},
                      TLanguageCase{"Posix", {"POSIX"}, "", TLanguage::Source},
                      TLanguageCase{"OptionOverRussian", {"ru-RU"}, "en", TLanguage::English},
                      TLanguageCase{"OptionOverC", {"C"}, "ru", TLanguage::Russian}),
    [](const ::testing::TestParamInfo<TLanguageCase>& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
