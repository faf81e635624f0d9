// The board as a kernel HID device through /dev/uhid: the kernel then gives
// it a real /dev/hidrawN, sysfs entries and uevents, exactly as it would for
// the USB board. Linux only.
#pragma once

#include "tools/virtual-board/BoardRunner.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumidra::vboard {

struct TBoardIdentity {
    std::string Name = "Lumidra virtual board";
    std::string Phys;  // empty: "virtual-board-<pid>/input0"
    std::string Serial{boardmodel::BoardSerial};
    std::uint16_t Vendor = boardmodel::BoardVendorId;
    std::uint16_t Product = boardmodel::BoardProductId;
    std::uint16_t Version = boardmodel::BoardVersion;
};

class TUhidBoard final : public TBoardPort {
public:
    explicit TUhidBoard(TBoardIdentity identity);
    ~TUhidBoard() override;  // unplugs and closes
    TUhidBoard(const TUhidBoard&) = delete;
    TUhidBoard& operator=(const TUhidBoard&) = delete;

    // Opens /dev/uhid; false with `error` set when it cannot.
    bool Open(std::string& error);
    int Fd() const { return fd_; }
    const TBoardIdentity& Identity() const { return identity_; }
    bool Plugged() const { return plugged_; }

    bool Plug() override;
    bool Unplug() override;
    bool SendInput(const TReport& report) override;

    struct TEvent {
        enum class TKind { None, Started, Stopped, Opened, Closed, Output, Failed } Kind = TKind::None;
        std::vector<std::uint8_t> Written;  // Output: the bytes as the host wrote them
    };
    // Reads and handles one event from the kernel (the descriptor is
    // readable). Get/set-report requests are answered here: the board has
    // no feature reports.
    TEvent ReadEvent();

private:
    TBoardIdentity identity_;
    int fd_ = -1;
    bool plugged_ = false;
};

// The /dev/hidrawN node of the hidraw device with this phys and serial, once
// its device node exists; empty when there is none (yet).
std::string FindHidrawNode(const std::string& phys, const std::string& serial);

}  // namespace lumidra::vboard
