// What the tool's event loop needs from a bus the board is plugged into: the
// uhid front end (UhidBoard.h) or the USB gadget one (GadgetBoard.h). Linux
// only, as both are.
#pragma once

#include "tools/virtual-board/BoardIdentity.h"
#include "tools/virtual-board/BoardRunner.h"

#include <cstdint>
#include <poll.h>
#include <string>
#include <vector>

namespace lumidra::vboard {

class TBoardDevice : public TBoardPort {
public:
    struct TEvent {
        enum class TKind { None, Started, Stopped, Opened, Closed, Output, Failed } Kind = TKind::None;
        std::vector<std::uint8_t> Received;  // Output: the bytes as the board receives them (64)
    };

    // Gets the bus ready (nothing is plugged yet); false with `error` set when it cannot.
    virtual bool Open(std::string& error) = 0;
    virtual const TBoardIdentity& Identity() const = 0;
    virtual bool Plugged() const = 0;
    // Plugged, and the host has taken the device in: its node may be looked for.
    virtual bool Started() const = 0;
    // What the loop polls, and for which events; -1 while there is nothing to poll.
    virtual int Fd() const = 0;
    virtual short PollEvents() const { return POLLIN; }
    // Handles what the poll found on Fd(): one event, or None.
    virtual TEvent Handle(short revents) = 0;
    // Whether a report handed over now goes out without waiting behind
    // another (the board model sends its next report only then).
    virtual bool ReadyForInput() const { return true; }
    // The host's /dev/hidrawN for this board once it exists, else empty.
    virtual std::string FindNode() const = 0;
    // Where the board is plugged, for messages.
    virtual std::string Where() const = 0;
    // Input reports that were dropped because the host took none meanwhile.
    virtual std::uint64_t Dropped() const { return 0; }
};

// KEY=value from a sysfs uevent file; empty when absent.
std::string UeventValue(const std::string& path, const std::string& key);

// The /dev/hidrawN node of the hidraw device whose HID_PHYS starts with
// `physPrefix` and whose serial is `serial`, once its device node exists;
// empty when there is none (yet).
std::string FindHidrawNode(const std::string& physPrefix, const std::string& serial);

}  // namespace lumidra::vboard
