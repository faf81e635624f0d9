#include "app/ParentConsole.h"

namespace lumidra::app {

TConsoleSteps PlanConsole(TStdHandle out, TStdHandle err) {
    const bool outLost = out == TStdHandle::None;
    const bool errLost = err == TStdHandle::None;
    return {outLost || errLost, outLost, errLost};
}

TConsoleStreams UseParentConsole(TConsoleCalls& calls) {
    TConsoleStreams streams{stdout, stderr};
    const TConsoleSteps steps = PlanConsole(calls.StdHandle(TStdStream::Out), calls.StdHandle(TStdStream::Err));
    if (!steps.Attach || !calls.AttachParentConsole()) return streams;
    if (std::FILE* const out = steps.ReopenOut ? calls.ReopenOnConsole(TStdStream::Out) : nullptr) streams.Out = out;
    if (std::FILE* const err = steps.ReopenErr ? calls.ReopenOnConsole(TStdStream::Err) : nullptr) streams.Err = err;
    return streams;
}

}  // namespace lumidra::app
