#include "app/cli/CliOptions.h"

#include "app/Language.h"

#include "app/cli/StatusText.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
#endif

namespace lumidra::cli {

namespace {

// What an option's value, or an operand, must be.
enum class TKind { Flag, Text, Count, Seconds, OnOff, Contrast, Threshold, Hex, Size, Format, Until };

struct TOptionEntry {
    const char* Name;
    TKind Kind;
};

struct TCommandEntry {
    const char* Name;
    const char* Synopsis;  // after the command's name
    const char* Summary;
    int MinOperands;
    int MaxOperands;
    TKind OperandKind;
    std::vector<TOptionEntry> Options;
    bool Board = true;  // talks to a board: the attach's standing-state options apply
};

// The standing state every command that talks to a board may set.
const std::vector<TOptionEntry> StandingOptions = {
    {"--led", TKind::Hex}, {"--ind1", TKind::OnOff}, {"--ind2", TKind::OnOff}, {"--backlight", TKind::OnOff}};

// The three table tools: one picture in, a table out, no board.
TCommandEntry ConvertEntry(const char* name, const char* summary) {
    return {name,
            "PICTURE [-o FILE] [--format db|c] [--threshold 0..255]",
            summary,
            1,
            1,
            TKind::Text,
            {{"-o", TKind::Text}, {"--format", TKind::Format}, {"--threshold", TKind::Threshold}},
            false};
}

const std::vector<TCommandEntry>& Commands() {
    static const std::vector<TCommandEntry> commands = {
        {"list",
         "[--json]",
         "the boards of the identity, and boards seen but not usable, with why",
         0,
         0,
         TKind::Text,
         {{"--json", TKind::Flag}},
         false},
        {"status",
         "[--watch] [--count N] [--until COND] [--json]",
         "decoded status: channels in %, inputs, key status, key id",
         0,
         0,
         TKind::Text,
         {{"--watch", TKind::Flag}, {"--count", TKind::Count}, {"--until", TKind::Until}, {"--json", TKind::Flag}}},
        {"keys",
         "[--count N] [--base FILE]",
         "one line per key presented; --base adds new keys to FILE",
         0,
         0,
         TKind::Text,
         {{"--count", TKind::Count}, {"--base", TKind::Text}}},
        {"led",
         "HEX | --time | --date",
         "the LED display: a value of up to 4 hex digits, the time or the date",
         0,
         1,
         TKind::Hex,
         {{"--time", TKind::Flag}, {"--date", TKind::Flag}}},
        {"lcd text",
         "TEXT [--size 1x|1.5x] [--no-wrap]",
         "the LCD text screen",
         1,
         1,
         TKind::Text,
         {{"--size", TKind::Size}, {"--no-wrap", TKind::Flag}}},
        {"lcd command", "\"AE 2F\"", "LCD command bytes in hex", 1, 1, TKind::Text, {}},
        {"lcd contrast", "0..31", "the LCD contrast", 1, 1, TKind::Contrast, {}},
        {"lcd backlight", "on|off", "the LCD backlight", 1, 1, TKind::OnOff, {}},
        {"image",
         "PICTURE [--threshold 0..255]",
         "the picture job",
         1,
         1,
         TKind::Text,
         {{"--threshold", TKind::Threshold}}},
        {"splash",
         "[--seconds N]",
         "the splash job; ends on Enter or the end of input, or after N s",
         0,
         0,
         TKind::Text,
         {{"--seconds", TKind::Seconds}}},
        {"flash read", "FILE", "the Flash-ROM block into FILE", 1, 1, TKind::Text, {}},
        {"flash erase", "", "erases the Flash-ROM", 0, 0, TKind::Text, {}},
        {"flash write",
         "FILE [--verify]",
         "FILE's first block into the Flash-ROM; --verify reads it back",
         1,
         1,
         TKind::Text,
         {{"--verify", TKind::Flag}}},
        {"dump",
         "FILE [--expect FILE]",
         "the 4096-byte memory dump; --expect: exit 1 if it differs",
         1,
         1,
         TKind::Text,
         {{"--expect", TKind::Text}}},
        {"plot",
         "--out FILE [--reports N | --seconds S] [--csv]",
         "the plot job's points into FILE (the record, or CSV: point, x, y)",
         0,
         0,
         TKind::Text,
         {{"--out", TKind::Text}, {"--reports", TKind::Count}, {"--seconds", TKind::Seconds}, {"--csv", TKind::Flag}}},
        ConvertEntry("convert strip", "the 12-row strip table of a picture; no board needed"),
        ConvertEntry("convert font", "the 5x7 font table of a picture; no board needed"),
        ConvertEntry("convert splash", "the splash table of a picture (and its .bin beside -o FILE); no board needed"),
    };
    return commands;
}

const TCommandEntry* FindCommand(const std::string& name) {
    for (const TCommandEntry& entry : Commands()) {
        if (name == entry.Name) return &entry;
    }
    return nullptr;
}

std::optional<int> ToInt(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

bool InRange(const std::string& text, int low, int high) {
    const std::optional<int> value = ToInt(text);
    return value && *value >= low && *value <= high;
}

// Empty when `value` is of `kind`, else what is wrong with it.
std::string CheckValue(TKind kind, const std::string& value) {
    switch (kind) {
        case TKind::Flag:
        case TKind::Text: return {};
        case TKind::Count: return InRange(value, 1, 1'000'000'000) ? "" : "a whole number, 1 to 1000000000";
        case TKind::Seconds: return InRange(value, 1, 86'400) ? "" : "whole seconds, 1 to 86400";
        case TKind::OnOff: return value == "on" || value == "off" ? "" : "on or off";
        case TKind::Contrast: return InRange(value, 0, 31) ? "" : "0 to 31";
        case TKind::Threshold: return InRange(value, 0, 255) ? "" : "0 to 255";
        case TKind::Hex: {
            const bool hex = !value.empty() && value.size() <= 4 && std::all_of(value.begin(), value.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c));
            });
            return hex ? "" : "1 to 4 hexadecimal digits";
        }
        case TKind::Size: return value == "1x" || value == "1.5x" ? "" : "1x or 1.5x";
        case TKind::Format: return value == "db" || value == "c" ? "" : "db or c";
        case TKind::Until: return ParseUntil(value) ? "" : "key, inN=on|off or chN>P / chN<P (N 1 to 4 or 1 to 2)";
    }
    return {};
}

std::string CommandLines(const TCommandEntry& entry) {
    std::string line = "  " + std::string(entry.Name) + (*entry.Synopsis != '\0' ? " " : "") + entry.Synopsis;
    return line + "\n      " + entry.Summary + "\n";
}

TCliParse Fail(const std::string& message, const std::string& command = {}) {
    TCliParse parse;
    parse.Exit = true;
    parse.ExitCode = ExitUsage;
    parse.Err = "lumidra-cli: " + message + "\n" +
                (command.empty() ? "Try 'lumidra-cli --help'.\n" : "Try 'lumidra-cli " + command + " --help'.\n");
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
        "Usage: lumidra-cli [--demo] [--device PATH] [--timeout S] [--trace FILE] [--quiet] [--stay]\n"
        "                   [--lang ru|en] COMMAND ...\n"
        "Every job of the USB demonstration board C04E:2014 from a command line, byte for byte as the\n"
        "window does it.\n"
        "\n"
        "Options:\n"
        "  --demo          run against the built-in model of the board (no board, no lock)\n"
        "  --device PATH   use the board at this node (as 'list' shows it), not the first one\n"
        "  --timeout S     a board silent this long mid-job ends the job (default 5)\n"
        "  --trace FILE    every report both ways into FILE: time in microseconds, direction, 64 bytes\n"
        "  --quiet         only errors on standard error\n"
        "  --stay          leave without telling the board (no closing report)\n"
        "  --lang ru|en    the messages in Russian or English, not the system's language\n"
        "  --help          this help; COMMAND --help: the command's\n"
        "  --version       the version\n"
        "\n"
        "Commands:\n";
    for (const TCommandEntry& entry : Commands()) text += CommandLines(entry);
    text +=
        "\n"
        "Every command that talks to a board also takes --led HEX, --ind1 on|off, --ind2 on|off and\n"
        "--backlight on|off. Each run attaches as the window does, which sets the board's standing state\n"
        "afresh (LED 0000, indicators off, backlight on): one run does not keep another's LED value, so\n"
        "give the whole standing state in each run.\n"
        "FILE may be '-' for standard input or output. A whole product (the dump, the Flash-ROM block)\n"
        "goes to '-', a device or a FIFO once the job has ended on the board, and replaces a file only\n"
        "then; a stream (status, keys, CSV, a plot's record) is written as it comes. Nothing is created\n"
        "or emptied before the board is found.\n"
        "\n"
        "Exit codes: 0 done; 1 the job could not be done (a file unreadable or of the wrong kind, an I/O\n"
        "error, the board stopped answering or went away, --verify or --expect found a difference, --until\n"
        "timed out, a write failed); 2 the command line is wrong; 3 no board; 4 the board is in use by\n"
        "another Lumidra; 129 SIGHUP; 130 Ctrl+C; 141 the reader of standard output went away; 143 SIGTERM.\n"
        "Each ends the job on the board and sends the closing report first.\n";
    return text;
}

std::string CommandUsage(const std::string& command) {
    const TCommandEntry* entry = FindCommand(command);
    if (entry == nullptr) return CliUsage();
    std::string text = "Usage: lumidra-cli [OPTION]... " + std::string(entry->Name) +
                       (*entry->Synopsis != '\0' ? " " : "") + entry->Synopsis + "\n" + entry->Summary + ".\n";
    if (entry->Board) {
        text +=
            "Also: --led HEX, --ind1 on|off, --ind2 on|off, --backlight on|off (the standing state the\n"
            "attach sets afresh: LED 0000, indicators off, backlight on).\n";
    }
    return text;
}

namespace {

// One pass over the arguments. Each kind of argument has its step; a step
// gives back the parse's end when the argument ends it (a fault, --version).
class TParser {
public:
    explicit TParser(const std::vector<std::string>& arguments) {
        // "--option=value" is "--option value"; nothing after "--" is an option.
        bool options = true;
        for (const std::string& argument : arguments) {
            const std::size_t equals = argument.find('=');
            if (options && argument.starts_with("--") && equals != std::string::npos) {
                arguments_.push_back(argument.substr(0, equals));
                arguments_.push_back(argument.substr(equals + 1));
            } else {
                arguments_.push_back(argument);
            }
            if (argument == "--") options = false;
        }
    }

    TCliParse Run() {
        for (at_ = 0; at_ < arguments_.size(); ++at_) {
            if (std::optional<TCliParse> end = Step(arguments_[at_])) return *end;
        }
        return Finish();
    }

private:
    using TEnd = std::optional<TCliParse>;

    TCliOptions& Options() { return parse_.Options; }

    // The argument after the current one, taken.
    std::optional<std::string> Next() {
        if (at_ + 1 >= arguments_.size()) return std::nullopt;
        return arguments_[++at_];
    }

    TEnd Step(const std::string& argument) {
        if (operandsOnly_) return entry_ == nullptr ? BeforeTheCommand(argument) : Operand(argument);
        if (argument == "--") {
            operandsOnly_ = true;
            return std::nullopt;
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
        if (std::optional<TEnd> global = GlobalOption(argument)) return *global;
        if (entry_ == nullptr) return BeforeTheCommand(argument);
        if (argument.starts_with('-') && argument != "-") return CommandOption(argument);
        return Operand(argument);
    }

    // Nothing when `argument` is no global option; else the step's end.
    std::optional<TEnd> GlobalOption(const std::string& argument) {
        TCliOptions& options = Options();
        if (argument == "--demo") options.Demo = true;
        if (argument == "--quiet") options.Quiet = true;
        if (argument == "--stay") options.Stay = true;
        if (argument == "--demo" || argument == "--quiet" || argument == "--stay") return TEnd();
        if (argument != "--device" && argument != "--trace" && argument != "--timeout" && argument != "--lang") {
            return std::nullopt;
        }
        const std::optional<std::string> value = Next();
        if (!value) return Fail("option '" + argument + "' needs a value");
        if (argument == "--device") options.Device = *value;
        if (argument == "--trace") {
            // Standard output is the command's: a trace there would mix with it.
            if (*value == "-") return Fail("--trace: a file, not '-' (standard output is the command's)");
            options.Trace = *value;
        }
        if (argument == "--lang") {
            if (!app::IsLanguageOption(*value)) return Fail("--lang: ru or en, not '" + *value + "'");
            options.Lang = *value;
        }
        if (argument == "--timeout") {
            if (!InRange(*value, 1, 3600)) return Fail("--timeout: whole seconds, 1 to 3600, not '" + *value + "'");
            options.TimeoutMs = *ToInt(*value) * 1000;
        }
        return TEnd();
    }

    // A word of the command's name, or the standing state given first.
    TEnd BeforeTheCommand(const std::string& argument) {
        if (argument.starts_with('-') && !operandsOnly_) {
            const TOptionEntry* standing = FindOption(StandingOptions, argument);
            if (standing == nullptr) {
                return Fail(words_.empty() ? "unknown option '" + argument + "'"
                                           : "unknown command '" + words_.front() + "'");
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
        if (!prefix) return Fail("unknown command '" + name + "'");
        return std::nullopt;
    }

    TEnd CommandOption(const std::string& argument) {
        const TOptionEntry* option = FindOption(entry_->Options, argument);
        if (option == nullptr && entry_->Board) option = FindOption(StandingOptions, argument);
        if (option == nullptr) return Fail(Quoted(Options().Command) + " has no option '" + argument + "'");
        return Value(*option, argument, Options().Command);
    }

    // The option's value, checked, into Values.
    TEnd Value(const TOptionEntry& option, const std::string& argument, const std::string& command) {
        std::string value;
        if (option.Kind != TKind::Flag) {
            const std::optional<std::string> given = Next();
            if (!given) return Fail("option '" + argument + "' needs a value", command);
            value = *given;
            if (const std::string wrong = CheckValue(option.Kind, value); !wrong.empty()) {
                return Fail(argument + ": " + wrong + ", not '" + value + "'", command);
            }
        }
        Options().Values[argument] = value;
        return std::nullopt;
    }

    TEnd Operand(const std::string& argument) {
        TCliOptions& options = Options();
        if (static_cast<int>(options.Operands.size()) >= entry_->MaxOperands) {
            return Fail(Quoted(options.Command) + " takes no further argument '" + argument + "'");
        }
        if (const std::string wrong = CheckValue(entry_->OperandKind, argument); !wrong.empty()) {
            return Fail(options.Command + ": " + wrong + ", not '" + argument + "'");
        }
        options.Operands.push_back(argument);
        return std::nullopt;
    }

    TCliParse Finish() {
        if (help_) {
            TCliParse help;
            help.Exit = true;
            help.Out = entry_ != nullptr ? CommandUsage(Options().Command) : CliUsage();
            return help;
        }
        if (entry_ == nullptr) {
            return *Fail(words_.empty() ? std::string("no command given")
                                        : "incomplete command '" + words_.front() + "'");
        }
        if (std::optional<TCliParse> fault = WholeCommandFault()) return *fault;
        return parse_;
    }

    // What only the whole command shows.
    TEnd WholeCommandFault() {
        const TCliOptions& options = Options();
        for (const TOptionEntry& standing : StandingOptions) {
            if (!entry_->Board && options.Has(standing.Name)) {
                return Fail(Quoted(options.Command) + " has no option '" + standing.Name + "'");
            }
        }
        if (static_cast<int>(options.Operands.size()) < entry_->MinOperands) {
            return Fail(Quoted(options.Command) + " needs " + entry_->Synopsis);
        }
        if (options.Command == "led" &&
            int(options.Operands.size()) + int(options.Has("--time")) + int(options.Has("--date")) != 1) {
            return Fail("led: give one of HEX, --time or --date");
        }
        if (options.Command == "plot" && !options.Has("--out")) return Fail("plot: --out FILE is needed");
        if (options.Command == "plot" && options.Has("--reports") && options.Has("--seconds")) {
            return Fail("plot: --reports and --seconds exclude each other");
        }
        return std::nullopt;
    }

    static std::string Quoted(const std::string& text) { return "'" + text + "'"; }

    // A fault; its help hint names the command once it is known.
    TEnd Fail(const std::string& message) { return Fail(message, Options().Command); }
    static TEnd Fail(const std::string& message, const std::string& command) { return cli::Fail(message, command); }

    std::vector<std::string> arguments_;
    std::size_t at_ = 0;
    bool operandsOnly_ = false;  // after "--"
    TCliParse parse_;
    const TCommandEntry* entry_ = nullptr;
    std::vector<std::string> words_;  // the command's name so far, before it is known
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
