// The board as a USB gadget, on paper: what goes into the kernel's configfs
// to make a device that enumerates as the board does, and how it is taken
// apart again. Plain C++, no kernel needed, so that it is tested anywhere.
#pragma once

#include "hid/UsbHidFunction.h"
#include "tools/virtual-board/BoardIdentity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumidra::vboard {

// The gadget's one function: the HID function, its device node /dev/hidgN.
inline constexpr const char* GadgetFunction = "functions/hid.board";

struct TGadgetEntry {
    enum class TKind { Directory, File, Link } Kind = TKind::File;
    std::string Path;     // under the gadget's own folder; "" is that folder
    std::string Content;  // File: the bytes written in one go; Link: the target, also under the gadget's folder
    bool operator==(const TGadgetEntry&) const = default;
};

// What makes the gadget, in the order it must be made: the gadget's folder,
// the device descriptor's IDs (VID, PID, the version as bcdDevice), the
// strings (manufacturer, product, serial: the host numbers them 1, 2, 3),
// the HID function as `function` has it (subclass, protocol, report length
// and descriptor), full speed as the board's own USB (a high-speed
// controller, as a Raspberry Pi's, would otherwise make it a high-speed
// device), one configuration drawing its power with the function
// linked into it. Nothing is bound to a controller yet: that is the plug.
std::vector<TGadgetEntry> GadgetLayout(const TBoardIdentity& identity, const hid::TUsbHidFunction& function);

// What takes it apart: the links and folders of `layout` in the opposite
// order (configfs drops a folder's files with the folder).
std::vector<TGadgetEntry> GadgetTeardown(const std::vector<TGadgetEntry>& layout);

// The start of HID_PHYS that this machine's HID devices behind device
// controller `udc` have: the software bus pairs "dummy_udc.N" with host
// controller "dummy_hcd.N" ("usb-dummy_hcd.N-"). Nothing for any other
// controller: its host is the machine at the other end of the cable, where
// the board's hidraw node appears.
std::optional<std::string> HostPhysPrefix(const std::string& udc);

}  // namespace lumidra::vboard
