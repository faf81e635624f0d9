// The command language of the virtual board: one command a line, the same in a
// script file and on the control pipe.
//
//   # comment, and blank lines, are ignored
//   send HEX...              one input report; up to 64 bytes, zero-padded
//   status [a1=N] [a2=N] [in=N] [key=N] [ack=N] [id=HEX16]
//                            one status report (analogue channels, on/off
//                            inputs, key status, job acknowledgement, key id
//                            in the order it is shown)
//   sleep MS                 pause before the next command
//   burst COUNT [HEX...]     COUNT reports back to back, each with a running
//                            number from 0 in bytes 60..63
//   stream [HEX...]          reports back to back, numbered, until the next
//                            command arrives
//   pace RATE [HEX...]       numbered reports at RATE a second (1 to
//                            1000000), as a device polled at a fixed interval
//                            sends them, until the next command arrives
//   stop                     does nothing; ends a stream
//   wait-output COUNT [MS]   wait until COUNT output reports were received in
//                            all (default limit 5000 ms)
//   unplug / plug            remove the device / create it again
//   quit                     unplug and end the program
//
// Numbers are decimal or 0x-prefixed hexadecimal.
#pragma once

#include "boardmodel/BoardReports.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lumidra::vboard {

// The reports the board sends, as the board model builds them.
using boardmodel::TReport;

struct TSendCommand {
    TReport Report{};
};
struct TSleepCommand {
    std::chrono::milliseconds Duration{0};
};
struct TBurstCommand {
    std::uint32_t Count = 0;
    TReport Report{};
};
struct TStreamCommand {
    TReport Report{};
};
struct TPaceCommand {
    std::uint32_t PerSecond = 1;
    TReport Report{};
};
struct TStopCommand {};
struct TWaitOutputCommand {
    std::uint64_t Count = 0;
    std::chrono::milliseconds Timeout{5000};
};
struct TUnplugCommand {};
struct TPlugCommand {};
struct TQuitCommand {};

using TBoardCommand = std::variant<TSendCommand, TSleepCommand, TBurstCommand, TStreamCommand, TPaceCommand,
                                   TStopCommand, TWaitOutputCommand, TUnplugCommand, TPlugCommand, TQuitCommand>;

// The blank-separated words of a line (blanks, tabs, carriage returns).
std::vector<std::string_view> SplitWords(std::string_view line);
// A decimal or 0x-prefixed hexadecimal number up to `max`; nothing otherwise.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t max);

// One line: a command, nothing (blank or comment), or an error text.
struct TParsedLine {
    std::optional<TBoardCommand> Command;
    std::string Error;
};
TParsedLine ParseCommandLine(std::string_view line);

// A whole script. Errors carry their line number ("line 3: ..."); a script
// with errors should not be run at all.
struct TParsedScript {
    std::vector<TBoardCommand> Commands;
    std::vector<std::string> Errors;
};
TParsedScript ParseScript(std::string_view text);

}  // namespace lumidra::vboard
