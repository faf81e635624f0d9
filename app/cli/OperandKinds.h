// The kinds of operand lumidra-cli takes (an option's value or a command's
// operand), and the grammar of each: a pure function of the text.
#pragma once

#include <string>

namespace lumidra::cli {

// What an option's value, or an operand, is: its grammar (OperandFault) and,
// for a file, the role it plays in the run. Every rule that holds for a kind
// of operand is checked over every command by these kinds.
enum class TKind {
    Flag,       // an on/off option: nothing follows its name (its "value" is what does: "" or "=yes")
    LedDigits,  // 1 to 4 hexadecimal digits
    LcdText,    // a text for the LCD: sent as the window sends it
    LcdBytes,   // the LCD's command bytes: pairs of hexadecimal digits, 1 to 64 bytes
    Count,      // a whole number from 1 to 10^9
    Seconds,    // a whole number of seconds from 1 to 86400
    Timeout,    // a whole number of seconds from 1 to 3600
    OnOff,      // on | off
    Contrast,   // 0 to 31
    Threshold,  // 0 to 255
    Size,       // 1x | 1.5x
    Format,     // db | c
    Until,      // a condition: key, inN=on|off, chN>P, chN<P
    Lang,       // ru | en, in any case
    Device,     // a board's node, as `list` shows it
    Picture,    // an input file holding a picture; "-": standard input
    InputFile,  // an input file read whole (its first Flash-ROM block); "-": standard input
    Product,    // an output written whole once the job is done; "-": standard output
    Stream,     // an output written record by record as they come; "-": standard output
    Expect,     // a file the product is compared with; "-": standard input
    KeyBase,    // a key base read first and rewritten at the end
    Trace,      // a trace of every report, text or pcapng; never "-"
};

// Whether `kind` names a file.
bool IsFileKind(TKind kind);

// Empty when `value` is read whole as `kind`; else what `kind` must be,
// in the run's language (the caller names the operand). Nothing is
// guessed at: a text that only starts like one is refused.
std::string OperandFault(TKind kind, const std::string& value);

}  // namespace lumidra::cli
