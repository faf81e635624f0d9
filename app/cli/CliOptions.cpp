#include "app/cli/CliOptions.h"

#include "app/cli/StatusText.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace lumidra::cli {

namespace {

// What an option's value, or an operand, must be.
enum class TKind { Flag, Text, Count, Seconds, OnOff, Contrast, Threshold, Hex, Size, Format, Until };

struct TOptionSpec {
    const char* Name;
    TKind Kind;
};

struct TCommandSpec {
    const char* Name;
    const char* Synopsis;  // after the command's name
    const char* Summary;
    int MinOperands;
    int MaxOperands;
    TKind OperandKind;
    std::vector<TOptionSpec> Options;
    bool Board = true;  // talks to a board: the attach's standing-state options apply
};

// The standing state every command that talks to a board may set.
const std::vector<TOptionSpec> StandingOptions = {
    {"--led", TKind::Hex}, {"--ind1", TKind::OnOff}, {"--ind2", TKind::OnOff}, {"--backlight", TKind::OnOff}};

const std::vector<TCommandSpec>& Commands() {
    static const std::vector<TCommandSpec> commands = {
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
         "the splash job; ends on Enter or end of input, or after N s",
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
        {"convert strip",
         "PICTURE [-o FILE] [--format db|c] [--threshold 0..255]",
         "the 12-row strip table of a picture; no board needed",
         1,
         1,
         TKind::Text,
         {{"-o", TKind::Text}, {"--format", TKind::Format}, {"--threshold", TKind::Threshold}},
         false},
        {"convert font",
         "PICTURE [-o FILE] [--format db|c] [--threshold 0..255]",
         "the 5x7 font table of a picture; no board needed",
         1,
         1,
         TKind::Text,
         {{"-o", TKind::Text}, {"--format", TKind::Format}, {"--threshold", TKind::Threshold}},
         false},
        {"convert splash",
         "PICTURE [-o FILE] [--format db|c] [--threshold 0..255]",
         "the splash table of a picture (and its .bin beside -o FILE); no board needed",
         1,
         1,
         TKind::Text,
         {{"-o", TKind::Text}, {"--format", TKind::Format}, {"--threshold", TKind::Threshold}},
         false},
    };
    return commands;
}

const TCommandSpec* FindCommand(const std::string& name) {
    for (const TCommandSpec& spec : Commands()) {
        if (name == spec.Name) return &spec;
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
        case TKind::Count: return InRange(value, 1, 1'000'000'000) ? "" : "a whole number of at least 1";
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

std::string CommandLines(const TCommandSpec& spec) {
    std::string line = "  " + std::string(spec.Name) + (*spec.Synopsis != '\0' ? " " : "") + spec.Synopsis;
    return line + "\n      " + spec.Summary + "\n";
}

TCliParse Fail(const std::string& message, const std::string& command = {}) {
    TCliParse parse;
    parse.Exit = true;
    parse.ExitCode = ExitUsage;
    parse.Err = "lumidra-cli: " + message + "\n" +
                (command.empty() ? "Try 'lumidra-cli --help'.\n" : "Try 'lumidra-cli " + command + " --help'.\n");
    return parse;
}

const TOptionSpec* FindOption(const std::vector<TOptionSpec>& options, const std::string& name) {
    for (const TOptionSpec& option : options) {
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
    const TCommandSpec* spec = FindCommand(Command);
    return spec != nullptr && spec->Board;
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
        "  --lang ru|en    the language of the messages\n"
        "  --help          this help; COMMAND --help: the command's\n"
        "  --version       the version\n"
        "\n"
        "Commands:\n";
    for (const TCommandSpec& spec : Commands()) text += CommandLines(spec);
    text +=
        "\n"
        "Every command that talks to a board also takes --led HEX, --ind1 on|off, --ind2 on|off and\n"
        "--backlight on|off. Each run attaches as the window does, which sets the board's standing state\n"
        "afresh (LED 0000, indicators off, backlight on): one run does not keep another's LED value, so\n"
        "give the whole standing state in each run.\n"
        "FILE may be '-' for standard input or output; output to '-' is written only when the job\n"
        "succeeded.\n"
        "\n"
        "Exit codes: 0 done; 1 the job could not be done (a file unreadable or of the wrong kind, an I/O\n"
        "error, the board stopped answering or went away, --verify or --expect found a difference, --until\n"
        "timed out); 2 the command line is wrong; 3 no board; 4 the board is in use by another Lumidra;\n"
        "130 Ctrl+C; 143 SIGTERM.\n";
    return text;
}

std::string CommandUsage(const std::string& command) {
    const TCommandSpec* spec = FindCommand(command);
    if (spec == nullptr) return CliUsage();
    std::string text = "Usage: lumidra-cli [OPTION]... " + std::string(spec->Name) +
                       (*spec->Synopsis != '\0' ? " " : "") + spec->Synopsis + "\n" + spec->Summary + ".\n";
    if (spec->Board) {
        text +=
            "Also: --led HEX, --ind1 on|off, --ind2 on|off, --backlight on|off (the standing state the\n"
            "attach sets afresh: LED 0000, indicators off, backlight on).\n";
    }
    return text;
}

TCliParse ParseCliArguments(const std::vector<std::string>& arguments) {
    TCliParse parse;
    TCliOptions& options = parse.Options;
    const TCommandSpec* spec = nullptr;
    std::vector<std::string> words;  // the command's name so far, before it is known
    bool help = false;

    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        const auto next = [&]() -> std::optional<std::string> {
            if (at + 1 >= arguments.size()) return std::nullopt;
            return arguments[++at];
        };
        if (argument == "--help" || argument == "-h") {
            help = true;
            continue;
        }
        if (argument == "--version") {
            parse.Exit = true;
            parse.Out = "lumidra-cli " LUMIDRA_VERSION "\n";
            return parse;
        }
        if (argument == "--demo") {
            options.Demo = true;
        } else if (argument == "--quiet") {
            options.Quiet = true;
        } else if (argument == "--stay") {
            options.Stay = true;
        } else if (argument == "--device" || argument == "--trace" || argument == "--lang" || argument == "--timeout") {
            const std::optional<std::string> value = next();
            if (!value) return Fail("option '" + argument + "' needs a value");
            if (argument == "--device") options.Device = *value;
            if (argument == "--trace") options.Trace = *value;
            if (argument == "--lang") {
                if (*value != "ru" && *value != "en") return Fail("--lang: ru or en, not '" + *value + "'");
                options.Lang = *value;
            }
            if (argument == "--timeout") {
                if (!InRange(*value, 1, 3600)) return Fail("--timeout: whole seconds, 1 to 3600, not '" + *value + "'");
                options.TimeoutMs = *ToInt(*value) * 1000;
            }
        } else if (spec == nullptr && !argument.starts_with('-')) {
            words.push_back(argument);
            std::string name;
            for (const std::string& word : words) name += (name.empty() ? "" : " ") + word;
            spec = FindCommand(name);
            if (spec != nullptr) {
                options.Command = name;
                continue;
            }
            // A first word that some command starts with waits for its second.
            const bool prefix = std::any_of(Commands().begin(), Commands().end(), [&](const TCommandSpec& command) {
                return std::string(command.Name).starts_with(name + " ");
            });
            if (!prefix) return Fail("unknown command '" + name + "'");
        } else if (spec == nullptr && FindOption(StandingOptions, argument) != nullptr) {
            // The standing state before the command: checked against it below.
            const std::optional<std::string> value = next();
            if (!value) return Fail("option '" + argument + "' needs a value");
            if (const std::string wrong = CheckValue(FindOption(StandingOptions, argument)->Kind, *value);
                !wrong.empty()) {
                return Fail(argument + ": " + wrong + ", not '" + *value + "'");
            }
            options.Values[argument] = *value;
        } else if (spec == nullptr) {
            if (!words.empty()) return Fail("unknown command '" + words.front() + "'");
            return Fail("unknown option '" + argument + "'");
        } else if (argument.starts_with('-') && argument != "-") {
            const TOptionSpec* option = FindOption(spec->Options, argument);
            if (option == nullptr && spec->Board) option = FindOption(StandingOptions, argument);
            if (option == nullptr)
                return Fail("'" + options.Command + "' has no option '" + argument + "'", options.Command);
            std::string value;
            if (option->Kind != TKind::Flag) {
                const std::optional<std::string> given = next();
                if (!given) return Fail("option '" + argument + "' needs a value", options.Command);
                value = *given;
                if (const std::string wrong = CheckValue(option->Kind, value); !wrong.empty()) {
                    return Fail(argument + ": " + wrong + ", not '" + value + "'", options.Command);
                }
            }
            options.Values[argument] = value;
        } else {
            if (static_cast<int>(options.Operands.size()) >= spec->MaxOperands) {
                return Fail("'" + options.Command + "' takes no further argument '" + argument + "'", options.Command);
            }
            if (const std::string wrong = CheckValue(spec->OperandKind, argument); !wrong.empty()) {
                return Fail(options.Command + ": " + wrong + ", not '" + argument + "'", options.Command);
            }
            options.Operands.push_back(argument);
        }
    }

    if (help) {
        parse.Exit = true;
        parse.Out = spec != nullptr ? CommandUsage(options.Command) : CliUsage();
        return parse;
    }
    if (spec == nullptr) {
        if (!words.empty()) return Fail("incomplete command '" + words.front() + "'");
        return Fail("no command given");
    }
    if (!spec->Board) {
        for (const TOptionSpec& standing : StandingOptions) {
            if (options.Has(standing.Name)) {
                return Fail("'" + options.Command + "' has no option '" + standing.Name + "'", options.Command);
            }
        }
    }
    if (static_cast<int>(options.Operands.size()) < spec->MinOperands) {
        return Fail("'" + options.Command + "' needs " + spec->Synopsis, options.Command);
    }
    // The choices that exclude each other.
    if (options.Command == "led") {
        const int given = int(options.Operands.size()) + int(options.Has("--time")) + int(options.Has("--date"));
        if (given != 1) return Fail("led: give one of HEX, --time or --date", options.Command);
    }
    if (options.Command == "plot") {
        if (!options.Has("--out")) return Fail("plot: --out FILE is needed", options.Command);
        if (options.Has("--reports") && options.Has("--seconds")) {
            return Fail("plot: --reports and --seconds exclude each other", options.Command);
        }
    }
    return parse;
}

}  // namespace lumidra::cli
