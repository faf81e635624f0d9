// The language the program's texts are shown in, and the translations that
// show them so. The source texts are Russian with the layout's English
// captions; English comes on top of them from the embedded translation.
#pragma once

#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <string>
#include <vector>

namespace lumidra::app {

enum class TLanguage {
    Source,   // the texts as written, Qt's own in English
    Russian,  // the texts as written, Qt's own in Russian
    English,  // the English translation, Qt's own in English
};

// The language of a run. `option` is --lang's value ("ru" or "en"; empty
// when not given) and decides when given. Otherwise `uiLanguages` (the
// system's, most preferred first, as "ru-RU", "en", "de-DE" or "C") do: the
// plain C or POSIX locale alone keeps the source texts, else the first that
// is Russian or English, else English.
TLanguage ChooseLanguage(const QStringList& uiLanguages, const std::string& option);

// The language of this run: ChooseLanguage over the system's UI languages.
TLanguage RunLanguage(const std::string& option);

// The translations of a language installed in the running application, the
// program's own and Qt's, and the numbers written as that language writes
// them (the default QLocale: the system's where it is of that language), for
// as long as this lives: made before any text is shown (a window's texts are
// looked up as it is made).
class TTranslations {
public:
    explicit TTranslations(TLanguage language);
    ~TTranslations();
    TTranslations(const TTranslations&) = delete;
    TTranslations& operator=(const TTranslations&) = delete;

private:
    std::vector<std::unique_ptr<QTranslator>> installed_;
    QLocale previousLocale_;
};

// What --lang accepts (ru or en, in any case), for the two programs' checks
// and help.
bool IsLanguageOption(const std::string& value);
// --lang's `value` as ChooseLanguage takes it ("RU" -> "ru"); empty when it
// is not accepted.
std::string LanguageOf(const std::string& value);

// --lang's value among a program's `arguments` ("--lang ru" or "--lang=ru",
// the last before a "--") when IsLanguageOption accepts it, else empty: the
// language is chosen before the command line is checked, so the command
// line's own faults are told in it.
std::string LanguageOption(const std::vector<std::string>& arguments);

}  // namespace lumidra::app
