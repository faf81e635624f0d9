// The board as a kernel HID device through /dev/uhid: the kernel then gives
// it a real /dev/hidrawN, sysfs entries and uevents, exactly as it would for
// the USB board. Linux only.
#pragma once

#include "tools/virtual-board/BoardDevice.h"

#include <string>

namespace lumidra::vboard {

class TUhidBoard final : public TBoardDevice {
public:
    explicit TUhidBoard(TBoardIdentity identity);
    ~TUhidBoard() override;  // unplugs and closes
    TUhidBoard(const TUhidBoard&) = delete;
    TUhidBoard& operator=(const TUhidBoard&) = delete;

    // Opens /dev/uhid; false with `error` set when it cannot.
    bool Open(std::string& error) override;
    int Fd() const override { return fd_; }
    const TBoardIdentity& Identity() const override { return identity_; }
    bool Plugged() const override { return plugged_; }
    bool Started() const override { return started_; }

    bool Plug() override;
    bool Unplug() override;
    bool SendInput(const TReport& report) override;

    // Reads and handles one event from the kernel. Get/set-report requests
    // are answered here: the board has no feature reports. An output report
    // arrives as the host wrote it and is handed on as a USB board receives it.
    TEvent Handle(short revents) override;
    std::string FindNode() const override;
    std::string Where() const override { return identity_.Phys; }

private:
    TBoardIdentity identity_;
    int fd_ = -1;
    bool plugged_ = false;
    bool started_ = false;
};

}  // namespace lumidra::vboard
