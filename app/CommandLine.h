// The program's command line: what to run, or what to print and end with.
// Parsed before any window exists, so help and version work without a
// display.
#pragma once

#include <string>
#include <vector>

namespace lumidra::app {

struct TOptions {
    bool AllPanels = false;           // every panel and menu shown, laid out to fit them
    bool Demo = false;                // the built-in board model instead of the platform's HID devices
    bool Chart = false;               // the chart window opened beside the main window
    std::vector<std::string> Traces;  // the report traces' files, none by default
    std::string Lang;                 // "ru", "en", or empty: the system's language
};

struct TCommandLine {
    TOptions Options;
    bool Exit = false;  // end at once with ExitCode, after printing Out and Err
    int ExitCode = 0;
    std::string Out;  // for standard output
    std::string Err;  // for standard error
};

inline constexpr int ExitUsage = 2;

// `arguments` are the program's arguments without the program name. The
// texts are in the language of the translations installed (none: as
// written).
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The help text, ending in a newline.
std::string Usage();

}  // namespace lumidra::app
