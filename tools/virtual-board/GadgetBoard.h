// The board as a USB device: a configfs HID gadget on a device controller
// (the VM's software bus, dummy_hcd, pairs it with a host controller), so
// that the host enumerates it as it does the real board and usbhid gives it
// a hidraw node, a USB bus path and interrupt endpoints. The board sees the
// host's output reports and sends its input reports through /dev/hidgN.
//
// A report written to /dev/hidgN waits in the IN endpoint until the host
// polls, and usbhid polls only while someone has the hidraw node open; a
// second write would block until then. The board never blocks: the node is
// written without waiting, reports that cannot go yet wait in a short queue
// (sent as the host takes them, the newest dropped when it is full), and the
// board model hands over its next report only when the endpoint is free, as
// the board's firmware does. Linux only.
#pragma once

#include "tools/virtual-board/BoardDevice.h"
#include "tools/virtual-board/GadgetLayout.h"

#include <deque>
#include <string>
#include <vector>

namespace lumidra::vboard {

class TGadgetBoard final : public TBoardDevice {
public:
    // `udc` empty: the first device controller that is free at each plug.
    TGadgetBoard(TBoardIdentity identity, std::string udc);
    ~TGadgetBoard() override;  // unplugs and takes the gadget apart
    TGadgetBoard(const TGadgetBoard&) = delete;
    TGadgetBoard& operator=(const TGadgetBoard&) = delete;

    // Makes the gadget in configfs (not bound yet).
    bool Open(std::string& error) override;
    const TBoardIdentity& Identity() const override { return identity_; }
    bool Plugged() const override { return fd_ >= 0; }
    bool Started() const override { return Plugged(); }
    int Fd() const override { return fd_; }
    short PollEvents() const override;
    TEvent Handle(short revents) override;
    bool ReadyForInput() const override;
    // The host's hidraw node on the software bus; on a controller whose host
    // is another machine the gadget's own /dev/hidgN, so that the board
    // (its model's reports, its script) starts once bound.
    std::string FindNode() const override;
    std::string Where() const override;
    std::uint64_t Dropped() const override { return dropped_; }

    // Binds the gadget to the controller and opens /dev/hidgN; unbinding is
    // the unplug (the host sees the device go).
    bool Plug() override;
    bool Unplug() override;
    bool SendInput(const TReport& report) override;

    // At most this many reports wait for the host.
    static constexpr std::size_t QueueLimit = 64;

private:
    bool Bind(const std::string& udc);
    void Flush();

    TBoardIdentity identity_;
    std::string wantedUdc_, udc_;
    std::string root_;  // the gadget's configfs folder; empty until made
    std::vector<TGadgetEntry> layout_;
    std::string gadgetNode_;  // /dev/hidgN while plugged
    int fd_ = -1;
    std::deque<TReport> queue_;
    std::uint64_t dropped_ = 0;
};

}  // namespace lumidra::vboard
