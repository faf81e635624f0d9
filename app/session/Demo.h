// The program without a board: the board model plugged into the in-process
// virtual bus, which then stands behind the platform interface in place of
// the operating system's HID devices. Everything above the platform is the
// real program. The board reports at its usual rate, its channels drift
// slowly, its inputs change now and then, and a key is presented every few
// seconds, all driven by timers on the GUI thread, where the window's writes
// reach the model too.
#pragma once

#include "boardmodel/BusBoard.h"
#include "hid/virtual/VirtualHidBus.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>

namespace lumidra::app {

// The main window's title in the demo mode, so nobody takes it for a board.
QString DemoTitle();

// What surrounds the demo board at `elapsed` since it started: the two
// channels (0..1023, slow sine waves), the inputs (a new pattern every 3 s)
// and the key reader (every 6 s a key from a short list is held for 2 s,
// reported read for half a second, then taken away).
struct TDemoSurroundings {
    std::uint16_t Channel1 = 0;
    std::uint16_t Channel2 = 0;
    std::uint8_t Inputs = 0;
    std::uint8_t KeyStatus = 0;
    std::array<std::uint8_t, 8> KeyId{};
};
TDemoSurroundings DemoSurroundings(std::chrono::milliseconds elapsed);

class TDemoBoard {
public:
    static constexpr int ReportsPerSecond = 100;
    static constexpr std::chrono::milliseconds SurroundingsPeriod{100};

    TDemoBoard();  // the board is plugged; nothing runs until Start
    ~TDemoBoard();
    TDemoBoard(const TDemoBoard&) = delete;
    TDemoBoard& operator=(const TDemoBoard&) = delete;

    // What the program's device layer runs on. Outlives every window that uses it.
    hid::THidPlatform& Platform() { return bus_; }
    boardmodel::TBoardModel& Model() { return board_.Model(); }

    // Starts the report slots and the changing surroundings.
    void Start();

private:
    void Surroundings();

    hid::VirtualHidBus bus_;
    boardmodel::TBusBoard board_;
    QTimer reports_;
    QTimer surroundings_;
    QElapsedTimer clock_;
};

}  // namespace lumidra::app
