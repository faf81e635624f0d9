#include "app/CommandLine.h"

#include "app/session/Language.h"

#include <QCoreApplication>

namespace lumidra::app {

namespace {

// A refusal: the message (`text` with `argument` for its %1) and the usage.
TCommandLine Refused(const char* text, const std::string& argument) {
    std::string message = "lumidra: ";
    message.append(QCoreApplication::translate("app", text).arg(QString::fromStdString(argument)).toStdString());
    return {{}, true, ExitUsage, {}, message.append("\n").append(Usage())};
}

}  // namespace

std::string Usage() {
    return QCoreApplication::translate("app",
                                       "Использование: lumidra [ПАРАМЕТР]...\n"
                                       "Программа для демонстрационной платы USB C04E:2014.\n"
                                       "\n"
                                       "  --all-panels  показать все панели и меню окна, расположив их так, чтобы\n"
                                       "                все поместились\n"
                                       "  --chart       открыть график каналов и входов во времени\n"
                                       "  --demo        работать со встроенной моделью платы, без платы\n"
                                       "                (включает --all-panels и --chart)\n"
                                       "  --trace ФАЙЛ  записывать в ФАЙЛ каждый отчёт платы и к плате, по строке:\n"
                                       "                время в микросекундах, направление, 64 байта в hex; ФАЙЛ\n"
                                       "                на .pcapng получает запись, которую открывает Wireshark;\n"
                                       "                можно повторить\n"
                                       "  --lang ru|en  показывать окно на русском или английском, а не на языке\n"
                                       "                системы\n"
                                       "  --help        вывести эту справку и выйти\n"
                                       "  --version     вывести версию и выйти\n")
        .toStdString();
}

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine result;
    for (auto at = arguments.begin(); at != arguments.end(); ++at) {
        const std::string& argument = *at;
        if (argument == "--help") {
            // Help and version answer at once, whatever else is given.
            return {{}, true, 0, Usage(), {}};
        }
        if (argument == "--version") {
            return {{}, true, 0, "lumidra " LUMIDRA_VERSION "\n", {}};
        }
        const bool takesValue = argument == "--trace" || argument == "--lang";
        if (takesValue && at + 1 == arguments.end()) {
            return Refused(QT_TRANSLATE_NOOP("app", "параметру '%1' нужно значение"), argument);
        }
        if (argument == "--all-panels") {
            result.Options.AllPanels = true;
        } else if (argument == "--chart") {
            result.Options.Chart = true;
        } else if (argument == "--demo") {
            result.Options.Demo = true;
            result.Options.AllPanels = true;
            result.Options.Chart = true;
        } else if (argument == "--trace") {
            // A window has no standard output to trace into, nor a file to
            // make of the name.
            if (*++at == "-") return Refused(QT_TRANSLATE_NOOP("app", "--trace: нужен файл, не '%1'"), *at);
            result.Options.Traces.push_back(*at);
        } else if (argument == "--lang") {
            result.Options.Lang = *++at;
            if (!IsLanguageOption(result.Options.Lang)) {
                return Refused(QT_TRANSLATE_NOOP("app", "--lang: ru или en, не '%1'"), result.Options.Lang);
            }
        } else if (argument.starts_with('-')) {
            return Refused(QT_TRANSLATE_NOOP("app", "неизвестный параметр '%1'"), argument);
        } else {
            // Operands too: the program takes none.
            return Refused(QT_TRANSLATE_NOOP("app", "лишний аргумент '%1'"), argument);
        }
    }
    return result;
}

}  // namespace lumidra::app
