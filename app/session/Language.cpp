#include "app/session/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <utility>

namespace lumidra::app {

TLanguage ChooseLanguage(const QStringList& uiLanguages, const std::string& given) {
    const std::string option = LanguageOf(given);
    if (option == "ru") return TLanguage::Russian;
    if (option == "en") return TLanguage::English;
    if (uiLanguages.isEmpty() || uiLanguages == QStringList{QStringLiteral("C")} ||
        uiLanguages == QStringList{QStringLiteral("POSIX")}) {
        return TLanguage::Source;
    }
    for (const QString& name : uiLanguages) {
        const QString language = name.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0);
        if (language == QStringLiteral("ru")) return TLanguage::Russian;
        if (language == QStringLiteral("en")) return TLanguage::English;
    }
    return TLanguage::English;
}

TLanguage RunLanguage(const std::string& option) {
    return ChooseLanguage(QLocale::system().uiLanguages(), option);
}

TTranslations::TTranslations(TLanguage language) {
    const QLocale::Language shown = language == TLanguage::English ? QLocale::English : QLocale::Russian;
    if (QLocale::system().language() != shown) QLocale::setDefault(QLocale(shown));
    const auto install = [this](const QString& name, const QString& folder) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(name, folder)) return false;
        QCoreApplication::installTranslator(translator.get());
        installed_.push_back(std::move(translator));
        return true;
    };
    const QString embedded = QStringLiteral(":/i18n");
    if (language == TLanguage::English) install(QStringLiteral("lumidra_en"), embedded);
    // Qt's own texts are English as built; the Russian ones come with Qt, or
    // embedded where Qt is deployed without them (Windows).
    if (language == TLanguage::Russian &&
        !install(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        install(QStringLiteral("qtbase_ru"), embedded);
    }
}

TTranslations::~TTranslations() {
    QLocale::setDefault(previousLocale_);
    for (const auto& translator : installed_) QCoreApplication::removeTranslator(translator.get());
}

std::string LanguageOf(const std::string& value) {
    std::string lower = value;
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return lower == "ru" || lower == "en" ? lower : std::string();
}

bool IsLanguageOption(const std::string& value) {
    return !LanguageOf(value).empty();
}

std::string LanguageOption(const std::vector<std::string>& arguments) {
    std::string language;
    for (std::size_t i = 0; i < arguments.size() && arguments[i] != "--"; ++i) {
        if (arguments[i] == "--lang" && i + 1 < arguments.size()) language = arguments[i + 1];
        if (arguments[i].starts_with("--lang=")) language = arguments[i].substr(7);
    }
    return LanguageOf(language);
}

}  // namespace lumidra::app
