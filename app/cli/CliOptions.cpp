#include "app/cli/CliOptions.h"

#include "app/cli/CommandTable.h"
#include "app/session/Language.h"
#include "desktop/UserText.h"

#include "app/cli/StatusText.h"

#include <QCoreApplication>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
#endif

namespace lumidra::cli {

namespace {

// A text of the command line in the run's language, %1 to %3 filled in
// one pass (a value that holds "%2" stays as it is).
std::string Tr(const char* text, std::initializer_list<std::string> values = {}) {
    QString out = QCoreApplication::translate("cli", text);
    std::vector<QString> args;
    for (const std::string& value : values) args.push_back(QString::fromStdString(value));
    switch (args.size()) {
        case 1: out = out.arg(args[0]); break;
        case 2: out = out.arg(args[0], args[1]); break;
        case 3: out = out.arg(args[0], args[1], args[2]); break;
        default: break;
    }
    return out.toStdString();
}

std::string UnknownCommand(const std::string& name) {
    return Tr(LUMIDRA_TEXT("cli", "неизвестная команда «%1»"), {name});
}

std::string NoOption(const std::string& command, const std::string& option) {
    return Tr(LUMIDRA_TEXT("cli", "у «%1» нет параметра «%2»"), {command, option});
}

std::string NeedsValue(const std::string& option) {
    return Tr(LUMIDRA_TEXT("cli", "параметру «%1» нужно значение"), {option});
}

std::string WrongValue(const std::string& what, const std::string& wanted, const std::string& given) {
    return Tr(LUMIDRA_TEXT("cli", "%1: %2, не «%3»"), {what, wanted, given});
}

std::optional<int> ToInt(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string CommandLines(const TCommandEntry& entry) {
    std::string line = "  " + std::string(entry.Name) + (*entry.Synopsis != '\0' ? " " : "") + entry.Synopsis;
    return line + "\n      " + Tr(entry.Summary) + "\n";
}

TCliParse Fail(const std::string& message, const std::string& command = {}) {
    TCliParse parse;
    parse.Exit = true;
    parse.ExitCode = ExitUsage;
    parse.Err = "lumidra-cli: " + message + "\n" +
                (command.empty() ? Tr(LUMIDRA_TEXT("cli", "Подробнее: «lumidra-cli --help»."))
                                 : Tr(LUMIDRA_TEXT("cli", "Подробнее: «lumidra-cli %1 --help»."), {command})) +
                "\n";
    return parse;
}

const TOptionEntry* FindOption(const std::vector<TOptionEntry>& options, const std::string& name) {
    for (const TOptionEntry& option : options) {
        if (name == option.Name) return &option;
    }
    return nullptr;
}

}  // namespace

std::string TCliOptions::Value(const std::string& option, const std::string& fallback) const {
    const auto found = Values.find(option);
    return found == Values.end() ? fallback : found->second;
}

std::string TCliOptions::Operand(std::size_t index) const {
    return index < Operands.size() ? Operands[index] : std::string();
}

int TCliOptions::Number(const std::string& option, int fallback) const {
    return ToInt(Value(option)).value_or(fallback);
}

std::optional<bool> TCliOptions::OnOff(const std::string& option) const {
    if (!Has(option)) return std::nullopt;
    return Value(option) == "on";
}

bool TCliOptions::NeedsBoard() const {
    const TCommandEntry* entry = FindCommand(Command);
    return entry != nullptr && entry->Board;
}

std::string CliUsage() {
    std::string text =
        Tr(LUMIDRA_TEXT("cli",
                        "Запуск: lumidra-cli [--demo] [--device PATH] [--timeout S] [--trace FILE] [--quiet] "
                        "[--stay]\n"
                        "                   [--lang ru|en] КОМАНДА ...\n"
                        "Все задания демонстрационной платы USB C04E:2014 из командной строки, байт в байт "
                        "как их выполняет окно.\n"
                        "\n"
                        "Параметры:\n"
                        "  --demo          работать со встроенной моделью платы (без платы, без блокировки)\n"
                        "  --device PATH   плата по этому адресу (как его показывает list), а не первая\n"
                        "  --timeout S     плата, молчащая столько секунд посреди задания, прерывает его "
                        "(по умолчанию 5)\n"
                        "  --trace FILE    все отчёты в обе стороны в FILE: время в микросекундах, "
                        "направление, 64 байта;\n"
                        "                  FILE с окончанием .pcapng получает запись, которую открывает "
                        "Wireshark; можно повторять\n"
                        "  --quiet         на стандартный поток ошибок только ошибки\n"
                        "  --stay          уйти, не сказав плате (без закрывающего отчёта)\n"
                        "  --lang ru|en    сообщения по-русски или по-английски, а не на языке системы\n"
                        "  --help          эта справка; КОМАНДА --help: справка команды\n"
                        "  --version       версия\n"
                        "--параметр=значение равно «--параметр значение»; после -- всё — аргументы.\n"
                        "\n"
                        "Команды:\n"));
    for (const TCommandEntry& entry : Commands()) text += CommandLines(entry);
    text += Tr(LUMIDRA_TEXT(
        "cli",
        "\n"
        "Каждая команда, которая говорит с платой, принимает также --led HEX, --ind1 on|off, --ind2 on|off и\n"
        "--backlight on|off. Каждый запуск подключается так же, как окно, и заново задаёт постоянное состояние\n"
        "платы (LED 0000, индикаторы выключены, подсветка включена): запуск не сохраняет значение LED другого\n"
        "запуска, поэтому задавайте всё постоянное состояние в каждом запуске.\n"
        "FILE может быть «-»: стандартный ввод или вывод. Целое изделие (дамп, блок FLASH) попадает в «-», в\n"
        "устройство или FIFO после конца задания на плате, а файл заменяет только тогда; поток (status, keys,\n"
        "CSV, запись графика) пишется по мере поступления. До того как плата найдена, ничего не создаётся и не\n"
        "очищается.\n"
        "\n"
        "Коды выхода: 0 выполнено; 1 задание не выполнено (файл не читается или не того вида, ошибка\n"
        "ввода-вывода или записи, плата перестала отвечать или отключена, --verify или --expect нашли отличие,\n"
        "--until не дождался); 2 неверная командная строка; 3 нет платы; 4 плата занята другой программой\n"
        "Lumidra; 129 SIGHUP; 130 Ctrl+C; 141 читатель стандартного вывода ушёл; 143 SIGTERM.\n"
        "При 1, 129, 130, 141 и 143 задание, которое идёт на плате, сначала завершается и посылается\n"
        "закрывающий отчёт.\n"));
    return text;
}

std::string GroupUsage(const std::string& group) {
    std::string text = Tr(LUMIDRA_TEXT("cli", "Запуск: lumidra-cli [ПАРАМЕТР]... %1 ..."), {group}) + "\n" +
                       Tr(LUMIDRA_TEXT("cli", "Команды:")) + "\n";
    bool any = false;
    for (const TCommandEntry& entry : Commands()) {
        if (!std::string(entry.Name).starts_with(group + " ")) continue;
        text += CommandLines(entry);
        any = true;
    }
    if (!any) return CliUsage();
    return text + Tr(LUMIDRA_TEXT("cli", "Справка команды: «lumidra-cli %1 КОМАНДА --help».\n"), {group});
}

std::string CommandUsage(const std::string& command) {
    const TCommandEntry* entry = FindCommand(command);
    if (entry == nullptr) return GroupUsage(command);
    std::string text = Tr(LUMIDRA_TEXT("cli", "Запуск: lumidra-cli [ПАРАМЕТР]... %1"),
                          {std::string(entry->Name) + (*entry->Synopsis != '\0' ? " " : "") + entry->Synopsis}) +
                       "\n" + Tr(entry->Summary) + ".\n";
    if (entry->Details != nullptr) text += Tr(entry->Details);
    if (entry->Board) {
        text += Tr(LUMIDRA_TEXT("cli",
                                "Также: --led HEX, --ind1 on|off, --ind2 on|off, --backlight on|off (постоянное "
                                "состояние, которое подключение\n"
                                "задаёт заново: LED 0000, индикаторы выключены, подсветка включена).\n"));
    }
    return text;
}

namespace {

// One argument; "--option=value" is "--option" with its value attached.
struct TArgument {
    std::string Text;
    std::optional<std::string> Attached;
};

// One pass over the arguments. Each kind of argument has its step; a step
// gives back the parse's end when the argument ends it (a fault, --version).
class TParser {
public:
    explicit TParser(const std::vector<std::string>& arguments) {
        // Nothing after "--" is an option.
        bool options = true;
        for (const std::string& argument : arguments) {
            const std::size_t equals = argument.find('=');
            if (options && argument.starts_with("--") && equals != std::string::npos) {
                arguments_.push_back({argument.substr(0, equals), argument.substr(equals + 1)});
            } else {
                arguments_.push_back({argument, std::nullopt});
            }
            if (argument == "--") options = false;
        }
    }

    TCliParse Run() {
        for (at_ = 0; at_ < arguments_.size(); ++at_) {
            if (std::optional<TCliParse> end = Step(arguments_[at_].Text)) return *end;
        }
        return Finish();
    }

private:
    using TEnd = std::optional<TCliParse>;

    TCliOptions& Options() { return parse_.Options; }

    // The current option's value: attached to it, or the argument after it.
    std::optional<std::string> Next() {
        if (arguments_[at_].Attached) return arguments_[at_].Attached;
        if (at_ + 1 >= arguments_.size()) return std::nullopt;
        return arguments_[++at_].Text;
    }

    // A flag with a value attached ("--json=yes"): refused, not read as on.
    TEnd AttachedToFlag(const std::string& argument) {
        const std::optional<std::string>& attached = arguments_[at_].Attached;
        if (!attached) return std::nullopt;
        return Fail(WrongValue(argument, OperandFault(TKind::Flag, "=" + *attached), "=" + *attached));
    }

    TEnd Step(const std::string& argument) {
        if (operandsOnly_) return entry_ == nullptr ? BeforeTheCommand(argument) : Operand(argument);
        if (argument == "--" && !arguments_[at_].Attached) {
            operandsOnly_ = true;
            return std::nullopt;
        }
        if (argument == "--help" || argument == "-h" || argument == "--version") {
            if (TEnd fault = AttachedToFlag(argument)) return fault;
        }
        if (argument == "--help" || argument == "-h") {
            help_ = true;
            return std::nullopt;
        }
        if (argument == "--version") {
            TCliParse version;
            version.Exit = true;
            version.Out = "lumidra-cli " LUMIDRA_VERSION "\n";
            return version;
        }
        if (const TOptionEntry* global = FindOption(GlobalOptions(), argument)) return GlobalOption(*global);
        if (entry_ == nullptr) return BeforeTheCommand(argument);
        if (argument.starts_with('-') && argument != "-") return CommandOption(argument);
        return Operand(argument);
    }

    TEnd GlobalOption(const TOptionEntry& option) {
        if (TEnd fault = Value(option, option.Name, Options().Command)) return fault;
        TCliOptions& options = Options();
        const std::string name = option.Name;
        const std::string value = options.Values[name];
        options.Values.erase(name);
        if (name == "--demo") options.Demo = true;
        if (name == "--quiet") options.Quiet = true;
        if (name == "--stay") options.Stay = true;
        if (name == "--device") options.Device = value;
        if (name == "--trace") options.Traces.push_back(value);
        if (name == "--lang") options.Lang = app::LanguageOf(value);
        if (name == "--timeout") options.TimeoutMs = *ToInt(value) * 1000;
        return std::nullopt;
    }

    // A word of the command's name, or the standing state given first.
    TEnd BeforeTheCommand(const std::string& argument) {
        if (argument.starts_with('-') && !operandsOnly_) {
            const TOptionEntry* standing = FindOption(StandingOptions(), argument);
            if (standing == nullptr) {
                return Fail(words_.empty() ? Tr(LUMIDRA_TEXT("cli", "неизвестный параметр «%1»"), {argument})
                                           : UnknownCommand(words_.front()));
            }
            // Checked against the command at the end.
            return Value(*standing, argument, {});
        }
        words_.push_back(argument);
        std::string name;
        for (const std::string& word : words_) name.append(name.empty() ? "" : " ").append(word);
        entry_ = FindCommand(name);
        if (entry_ != nullptr) {
            Options().Command = name;
            return std::nullopt;
        }
        // A first word that some command starts with waits for its second.
        const bool prefix = std::any_of(Commands().begin(), Commands().end(), [&](const TCommandEntry& command) {
            return std::string(command.Name).starts_with(name + " ");
        });
        if (!prefix) return Fail(UnknownCommand(name));
        return std::nullopt;
    }

    TEnd CommandOption(const std::string& argument) {
        const TOptionEntry* option = FindOption(entry_->Options, argument);
        if (option == nullptr && entry_->Board) option = FindOption(StandingOptions(), argument);
        if (option == nullptr) return Fail(NoOption(Options().Command, argument));
        return Value(*option, argument, Options().Command);
    }

    // The option's value, checked, into Values; an option that takes a value
    // is given once (but a trace for each --trace).
    TEnd Value(const TOptionEntry& option, const std::string& argument, const std::string& command) {
        std::string value;
        if (option.Kind == TKind::Flag) {
            if (TEnd fault = AttachedToFlag(argument)) return fault;
        } else {
            if (option.Kind != TKind::Trace && given_.contains(argument)) {
                return Fail(Tr(LUMIDRA_TEXT("cli", "параметр «%1» задан дважды"), {argument}), command);
            }
            const std::optional<std::string> next = Next();
            if (!next) return Fail(NeedsValue(argument), command);
            value = *next;
            if (const std::string wrong = OperandFault(option.Kind, value); !wrong.empty()) {
                return Fail(WrongValue(argument, wrong, value), command);
            }
        }
        given_.insert(argument);
        Options().Values[argument] = value;
        return std::nullopt;
    }

    TEnd Operand(const std::string& argument) {
        TCliOptions& options = Options();
        if (static_cast<int>(options.Operands.size()) >= entry_->MaxOperands) {
            return Fail(Tr(LUMIDRA_TEXT("cli", "«%1» не принимает ещё аргумент «%2»"), {options.Command, argument}));
        }
        if (const std::string wrong = OperandFault(entry_->OperandKind, argument); !wrong.empty()) {
            return Fail(WrongValue(options.Command, wrong, argument));
        }
        options.Operands.push_back(argument);
        return std::nullopt;
    }

    TCliParse Finish() {
        if (help_) {
            TCliParse help;
            help.Exit = true;
            help.Out = entry_ != nullptr ? CommandUsage(Options().Command)
                       : words_.empty()  ? CliUsage()
                                         : GroupUsage(words_.front());
            return help;
        }
        if (entry_ == nullptr) {
            return *Fail(words_.empty() ? Tr(LUMIDRA_TEXT("cli", "команда не указана"))
                                        : Tr(LUMIDRA_TEXT("cli", "неполная команда «%1»"), {words_.front()}));
        }
        if (std::optional<TCliParse> fault = WholeCommandFault()) return *fault;
        return parse_;
    }

    // What only the whole command shows.
    TEnd WholeCommandFault() {
        const TCliOptions& options = Options();
        for (const TOptionEntry& standing : StandingOptions()) {
            if (!entry_->Board && options.Has(standing.Name)) {
                return Fail(NoOption(options.Command, standing.Name));
            }
            // The command sets that state itself: which of the two holds would be a guess.
            if (entry_->Sets != nullptr && std::string(entry_->Sets) == standing.Name && options.Has(standing.Name)) {
                return Fail(Tr(LUMIDRA_TEXT("cli", "«%1» сам задаёт то, что задаёт %2: укажите одно из них"),
                               {options.Command, standing.Name}));
            }
        }
        if (options.Demo && given_.contains("--device")) {
            return Fail(Tr(LUMIDRA_TEXT("cli", "--demo и --device исключают друг друга")));
        }
        if (static_cast<int>(options.Operands.size()) < entry_->MinOperands) {
            return Fail(Tr(LUMIDRA_TEXT("cli", "«%1» требует %2"), {options.Command, entry_->Synopsis}));
        }
        if (entry_->Fault != nullptr) {
            if (const std::string fault = entry_->Fault(options); !fault.empty()) return Fail(fault);
        }
        return std::nullopt;
    }

    // A fault; its help hint names the command once it is known.
    TEnd Fail(const std::string& message) { return Fail(message, Options().Command); }
    static TEnd Fail(const std::string& message, const std::string& command) { return cli::Fail(message, command); }

    std::vector<TArgument> arguments_;
    std::size_t at_ = 0;
    bool operandsOnly_ = false;  // after "--"
    TCliParse parse_;
    const TCommandEntry* entry_ = nullptr;
    std::vector<std::string> words_;  // the command's name so far, before it is known
    std::set<std::string> given_;     // the options given so far
    bool help_ = false;
};

}  // namespace

TCliParse ParseCliArguments(const std::vector<std::string>& arguments) {
    return TParser(arguments).Run();
}

std::vector<std::string> ProcessArguments(int argc, char* argv[]) {
#if defined(_WIN32)
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide != nullptr) {
        std::vector<std::string> arguments;
        for (int i = 1; i < count; ++i) {
            arguments.push_back(QString::fromWCharArray(wide[i]).toStdString());
        }
        ::LocalFree(wide);
        return arguments;
    }
#endif
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

QString ArgumentText(const std::string& argument) {
#if defined(_WIN32)
    return QString::fromStdString(argument);
#else
    return QString::fromLocal8Bit(argument.c_str());
#endif
}

}  // namespace lumidra::cli
