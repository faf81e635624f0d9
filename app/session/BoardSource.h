// Where a program's boards come from: the system's HID devices, or, in the
// demo mode, the built-in board model behind the same platform interface
// (everything above it is the same).
#pragma once

#include "app/session/Demo.h"

#include <memory>

namespace lumidra::hid {
class THidPlatform;
}

namespace lumidra::app {

class TBoardSource {
public:
    explicit TBoardSource(bool demo);
    ~TBoardSource();
    TBoardSource(const TBoardSource&) = delete;
    TBoardSource& operator=(const TBoardSource&) = delete;

    hid::THidPlatform& Platform();
    // The demo board, or null.
    TDemoBoard* Demo() { return demo_.get(); }

private:
    std::unique_ptr<hid::THidPlatform> system_;
    std::unique_ptr<TDemoBoard> demo_;
};

}  // namespace lumidra::app
