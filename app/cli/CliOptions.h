// lumidra-cli's command line: the global options, one command and its own
// options, checked before anything starts (exit code 2 on a fault).
#pragma once

#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumidra::cli {

// Exit codes of every run.
enum TExit : int {
    ExitDone = 0,
    ExitFailed = 1,  // the job could not be done
    ExitUsage = 2,   // the command line is wrong
    ExitNoBoard = 3,
    ExitInUse = 4,  // another Lumidra holds the board
    ExitHangUp = 129,
    ExitInterrupted = 130,
    ExitClosedPipe = 141,  // the reader of an output went away
    ExitTerminated = 143,
};

struct TCliOptions {
    // --- global -----------------------------------------------------------------
    bool Demo = false;
    std::string Device;  // the board's node (interface path); empty: the first board
    int TimeoutMs = 5000;
    std::vector<std::string> Traces;
    bool Quiet = false;
    bool Stay = false;
    std::string Lang;  // "ru", "en", or empty: the system's language

    // --- the command ------------------------------------------------------------
    // The command's name, as the command table gives it.
    std::string Command;
    std::vector<std::string> Operands;
    // The command's options as given, checked: "--count" -> "5"; a flag
    // (such as "--json") maps to an empty text.
    std::map<std::string, std::string> Values;

    // The operand at `index`, or an empty text.
    std::string Operand(std::size_t index) const;
    bool Has(const std::string& option) const { return Values.contains(option); }
    // The value of `option`, or `fallback` when it was not given.
    std::string Value(const std::string& option, const std::string& fallback = {}) const;
    int Number(const std::string& option, int fallback) const;  // at most 10^9
    // "on" -> true, "off" -> false, not given -> nothing.
    std::optional<bool> OnOff(const std::string& option) const;
    // Whether the command talks to a board (and so takes the lock).
    bool NeedsBoard() const;
};

struct TCliParse {
    TCliOptions Options;
    bool Exit = false;  // print Out and Err, then end with ExitCode
    int ExitCode = ExitDone;
    std::string Out;
    std::string Err;
};

// `arguments` without the program's name.
TCliParse ParseCliArguments(const std::vector<std::string>& arguments);

// The process's arguments without the program's name: on Windows read as
// Unicode (UTF-8 here), so a name outside the ANSI code page stays itself.
std::vector<std::string> ProcessArguments(int argc, char* argv[]);
// An argument as text (a file's name, an LCD text).
QString ArgumentText(const std::string& argument);

// The whole help, and one command's; a group's ("lcd") lists its commands.
std::string CliUsage();
std::string CommandUsage(const std::string& command);
std::string GroupUsage(const std::string& group);

}  // namespace lumidra::cli
