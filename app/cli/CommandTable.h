// lumidra-cli's commands: for each, its name, its help, the options and
// operands it takes, and the unit that runs it. The one place that names a
// command.
#pragma once

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumidra::cli {

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
    int MinOperands = 0;
    int MaxOperands = 0;
    TKind OperandKind = TKind::Text;
    std::vector<TOptionEntry> Options{};
    // Its unit, run against the boards; or, for a command that needs none,
    // its whole run (the exit code).
    std::unique_ptr<TCliCommand> (*Make)(TCommandHost& host) = nullptr;
    int (*Alone)(const TCliOptions& options, TConsoleSeams& seams) = nullptr;
    // What only the whole command line shows: empty, or the fault.
    std::string (*Fault)(const TCliOptions& options) = nullptr;
    bool Board = true;  // talks to a board: it takes the lock, the standing-state options apply
};

// The standing state every command that talks to a board may set.
const std::vector<TOptionEntry>& StandingOptions();
const std::vector<TCommandEntry>& Commands();
const TCommandEntry* FindCommand(const std::string& name);

// The unit of the command `options` names, working in `host`.
std::unique_ptr<TCliCommand> MakeCommand(const TCliOptions& options, TCommandHost& host);
// The exit code of a command that needs no board; nothing for the others.
std::optional<int> RunAlone(const TCliOptions& options, TConsoleSeams& seams);

}  // namespace lumidra::cli
