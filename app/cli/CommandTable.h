// lumidra-cli's commands: for each, its name, its help, the options and
// operands it takes, and the unit that runs it. The one place that names a
// command.
#pragma once

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"
#include "app/cli/OperandKinds.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumidra::cli {

struct TOptionEntry {
    const char* Name;
    TKind Kind;
};

struct TCommandEntry {
    const char* Name;
    const char* Synopsis;  // after the command's name
    const char* Summary;
    // What its help says beyond the summary, or none.
    const char* Details = nullptr;
    int MinOperands = 0;
    int MaxOperands = 0;
    TKind OperandKind = TKind::LcdText;
    std::vector<TOptionEntry> Options{};
    // Its unit, run against the boards; or, for a command that needs none,
    // its whole run (the exit code).
    std::unique_ptr<TCliCommand> (*Make)(TCommandHost& host) = nullptr;
    int (*Alone)(const TCliOptions& options, TConsoleSeams& seams) = nullptr;
    // What only the whole command line shows: empty, or the fault.
    std::string (*Fault)(const TCliOptions& options) = nullptr;
    bool Board = true;  // talks to a board: it takes the lock, the standing-state options apply
    // The standing-state option whose state the command sets itself (and so
    // cannot be given with it), or none.
    const char* Sets = nullptr;
};

// The options of every run, before or after the command.
const std::vector<TOptionEntry>& GlobalOptions();
// The standing state every command that talks to a board may set.
const std::vector<TOptionEntry>& StandingOptions();
const std::vector<TCommandEntry>& Commands();
const TCommandEntry* FindCommand(const std::string& name);

// Everything a command takes, with its kind: its operands first (Name is
// empty, one entry per operand up to MaxOperands), then its own options,
// then the standing state when it talks to a board. The global options are
// GlobalOptions().
std::vector<TOptionEntry> OperandKinds(const TCommandEntry& entry);

// The unit of the command `options` names, working in `host`.
std::unique_ptr<TCliCommand> MakeCommand(const TCliOptions& options, TCommandHost& host);
// The exit code of a command that needs no board; nothing for the others.
std::optional<int> RunAlone(const TCliOptions& options, TConsoleSeams& seams);

}  // namespace lumidra::cli
