// What a USB HID device is made of, and the board's. A host learns it from
// the interface and HID class descriptors at enumeration; a Linux USB gadget
// is made from the same values (the virtual board's gadget makes itself from
// the board's), and the program's pcapng traces describe the board with them.
// Header only, so that the board model and the tools take the values without
// the device layer's library.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace lumidra::hid {

struct TUsbHidFunction {
    std::uint8_t Subclass = 0;            // 1 for a boot interface
    std::uint8_t Protocol = 0;            // of a boot interface: 1 keyboard, 2 mouse
    std::uint16_t ReportLength = 0;       // bytes of every input and output report
    std::uint16_t MaxPowerMilliamps = 0;  // what the device draws from the bus
    std::span<const std::uint8_t> ReportDescriptor;
};

// Vendor-defined page, one application collection, one 64-byte input and one
// 64-byte output report, no Report ID item.
inline constexpr std::array<std::uint8_t, 34> BoardReportDescriptor{
    0x06, 0x00, 0xFF,  // Usage Page (Vendor Defined 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x09, 0x02,        //   Usage (2)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x09, 0x03,        //   Usage (3)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x91, 0x02,        //   Output (Data, Variable, Absolute)
    0xC0,              // End Collection
};

// The board: no boot interface, 64-byte reports, 100 mA.
inline constexpr TUsbHidFunction BoardHidFunction{
    .Subclass = 0,
    .Protocol = 0,
    .ReportLength = 64,
    .MaxPowerMilliamps = 100,
    .ReportDescriptor = BoardReportDescriptor,
};

}  // namespace lumidra::hid
