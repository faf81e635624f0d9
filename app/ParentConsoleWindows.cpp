// The parent's console on Windows: AttachConsole and the console's output
// device, CONOUT$.
#include "app/ParentConsole.h"

#include <windows.h>

namespace lumidra::app {

namespace {

class TWindowsConsoleCalls final : public TConsoleCalls {
public:
    TStdHandle StdHandle(TStdStream stream) override {
        const HANDLE handle = GetStdHandle(stream == TStdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return TStdHandle::None;
        // A parent may hand down a handle's value without the handle: the
        // system then knows no type for it and says why.
        SetLastError(NO_ERROR);
        switch (GetFileType(handle)) {
            case FILE_TYPE_CHAR: return TStdHandle::Character;
            case FILE_TYPE_DISK: return TStdHandle::File;
            case FILE_TYPE_PIPE: return TStdHandle::Pipe;
            default: return GetLastError() == NO_ERROR ? TStdHandle::Other : TStdHandle::None;
        }
    }

    // Attached already is as good: Wine gives a window program the console of
    // the process that started it, as Windows does only to a console program.
    bool AttachParentConsole() override {
        return AttachConsole(ATTACH_PARENT_PROCESS) != 0 || GetLastError() == ERROR_ACCESS_DENIED;
    }

    std::FILE* ReopenOnConsole(TStdStream stream) override {
        // Windows' C runtime reopens a standard stream that has no file behind
        // it; Wine's refuses, and a stream of its own is opened instead (left
        // open, the runtime flushes it at the exit).
        std::FILE* file = std::freopen("CONOUT$", "w", stream == TStdStream::Out ? stdout : stderr);
        if (file == nullptr) file = std::fopen("CONOUT$", "w");
        if (file != nullptr && stream == TStdStream::Err) std::setvbuf(file, nullptr, _IONBF, 0);
        return file;
    }
};

}  // namespace

TConsoleStreams UseParentConsole() {
    TWindowsConsoleCalls calls;
    return UseParentConsole(calls);
}

}  // namespace lumidra::app
