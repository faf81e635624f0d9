// The console a window program was started from. On Windows lumidra is a
// window program: the system opens no console for it, and one started from a
// console window is handed no standard handles to that console, so help,
// version and a usage error would be printed nowhere. Before printing them it
// attaches to the console of the process that started it, if that has one,
// and points there only the streams that have nowhere else to go: output sent
// to a file, a pipe or NUL, or a console handle already handed down, stays
// where it goes. Started from Explorer or the Start menu there is no such
// console, and none is opened.
#pragma once

#include <cstdio>

namespace lumidra::app {

enum class TStdStream { Out, Err };

// What a standard handle of the process is, as found at the start.
enum class TStdHandle {
    None,       // none was given, or its value names no handle of this process
    Character,  // a console, or another character device such as NUL
    File,
    Pipe,
    Other,  // an open handle of a kind the system does not name
};

struct TConsoleSteps {
    bool Attach = false;     // ask for the console of the process that started this one
    bool ReopenOut = false;  // once attached, standard output onto it
    bool ReopenErr = false;  // once attached, standard error onto it
};

// The steps the standard handles call for: only a stream with nowhere to go
// asks for the parent's console, and only such a stream is pointed at it.
TConsoleSteps PlanConsole(TStdHandle out, TStdHandle err);

// The system calls the steps are taken with.
class TConsoleCalls {
public:
    virtual ~TConsoleCalls() = default;
    virtual TStdHandle StdHandle(TStdStream stream) = 0;
    // False when the parent has no console (or is gone): there is none to use.
    virtual bool AttachParentConsole() = 0;
    // The C stream that now writes to the console in place of `stream`, or
    // null when none could be opened.
    virtual std::FILE* ReopenOnConsole(TStdStream stream) = 0;
};

// Where to print.
struct TConsoleStreams {
    std::FILE* Out;
    std::FILE* Err;
};

// Plans the steps and takes them: stdout and stderr, or in place of either
// the stream now on the parent's console.
TConsoleStreams UseParentConsole(TConsoleCalls& calls);

// With the system's calls; Windows only (ParentConsoleWindows.cpp).
TConsoleStreams UseParentConsole();

}  // namespace lumidra::app
