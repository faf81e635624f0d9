// Who the virtual board says it is, on either bus it is plugged into.
#pragma once

#include "boardmodel/BoardReports.h"

#include <cstdint>
#include <string>

namespace lumidra::vboard {

struct TBoardIdentity {
    std::string Name = "Lumidra virtual board";  // the product string
    std::string Maker = "Lumidra Lab";           // the manufacturer string (USB only: uhid has none)
    std::string Phys;                            // uhid only; empty: "virtual-board-<pid>/input0"
    std::string Serial{boardmodel::BoardSerial};
    std::uint16_t Vendor = boardmodel::BoardVendorId;
    std::uint16_t Product = boardmodel::BoardProductId;
    std::uint16_t Version = boardmodel::BoardVersion;
};

}  // namespace lumidra::vboard
