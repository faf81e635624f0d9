// What the uhid board takes on its control pipe when it runs the board model
// (--model), besides the scripted commands (BoardScript.h), one a line:
//
//   key HEX16            present a key (identifier in the order it is shown)
//   nokey                take the key away (status 0)
//   keystatus N          any raw key reader status (2 read, 5 and 8 errors)
//   channel 1|2 N        an analogue channel, 0 to 1023
//   inputs N             the four on/off inputs, bit 0 = input 1
//   ack-delay N          acknowledge job requests N report slots late
//   ack withhold|give    stop or resume acknowledging job requests
//   rate N               report slots a second (1 to 1000, default 100)
//   save FILE            write the board's state to FILE (StateText) and its
//                        LCD picture to FILE.pbm
//
// Numbers are decimal or 0x-prefixed hexadecimal.
#pragma once

#include "boardmodel/BoardModel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumidra::vboard {

inline constexpr std::uint32_t DefaultModelRate = 100;
inline constexpr std::uint32_t MaxModelRate = 1000;

// What the tool's loop does after a model command.
struct TModelCommandResult {
    bool Known = false;                 // false: not a model command (try the scripted ones)
    std::string Error;                  // a model command with bad arguments
    std::optional<std::uint32_t> Rate;  // rate: the new report slots a second
    std::string SaveTo;                 // save: where to
};

// Runs one control line against the model: the commands that change the
// board are applied at once; rate and save are the transport's and come back
// in the result.
TModelCommandResult RunModelCommand(std::string_view line, boardmodel::TBoardModel& model);

// What the tool keeps of the board's earlier plugs: the model forgets its
// violations with every power cycle, as the board forgets its state, but a
// test that plugs the board a thousand times asserts on the whole run.
struct TPlugRecord {
    int Plugs = 1;                     // plugs since the tool started, this one included
    std::vector<std::string> Earlier;  // "plug N: violation", of the plugs before this one
};
// A plug after an unplug: keeps the model's violations in `record`, then
// power-cycles the model.
void PlugAgain(boardmodel::TBoardModel& model, TPlugRecord& record);

// The board's state as text, for a person or a test reading the save file:
// LED display, LCD, Flash-ROM block, memory, handshake, violations (this
// plug's, then the plugs and the violations of the earlier ones).
std::string StateText(const boardmodel::TBoardModel& model, const TPlugRecord& record = {});

}  // namespace lumidra::vboard
