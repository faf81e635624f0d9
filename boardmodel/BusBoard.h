// The board model plugged into the in-process virtual HID bus: every output
// report the host writes to it reaches the model at once, and each Step() is
// one of the board's report slots, feeding the model's next input report to
// the host's reader. Nothing runs by itself: a test steps it, the demo mode
// steps it from a timer. Used on one thread, the one that writes the reports
// (the GUI thread), like the model it owns.
#pragma once

#include "boardmodel/BoardModel.h"
#include "hid/virtual/VirtualHidBus.h"

namespace lumidra::boardmodel {

class TBusBoard {
public:
    // Plugs the board (the bus's default description is the real board's).
    explicit TBusBoard(hid::VirtualHidBus& bus, hid::TVirtualBoard description = {});
    ~TBusBoard();  // unplugs
    TBusBoard(const TBusBoard&) = delete;
    TBusBoard& operator=(const TBusBoard&) = delete;

    TBoardModel& Model() { return model_; }
    const TBoardModel& Model() const { return model_; }
    hid::VirtualHidBus& Bus() { return bus_; }
    // The bus's id of the board (a new one after each Replug), 0 while unplugged.
    int Id() const { return id_; }
    bool Plugged() const { return id_ != 0; }

    // One report slot: feeds the model's next report, if it has one and the
    // board is plugged. Returns whether a report went out.
    bool Step();

    // Pulls the cable: the host sees the board go.
    void Unplug();
    // Plugs it back after a power cycle of the model (display, LCD and
    // handshake start over; Flash-ROM and memory keep their bytes).
    void Replug();

    // Every output report the host wrote to the board since it was last
    // plugged, as written (65 bytes, report ID first).
    std::vector<std::vector<std::uint8_t>> Written() const;

private:
    void Plug();

    hid::VirtualHidBus& bus_;
    hid::TVirtualBoard description_;
    TBoardModel model_;
    int id_ = 0;
};

}  // namespace lumidra::boardmodel
