// The pcapng blocks, the usbmon header and the USB descriptors, byte for byte.
#include "hid/Pcapng.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace lumidra::hid {
namespace {

// "0A 0D ..." as bytes; blanks and bars only separate.
TPcapngBytes Hex(const std::string& text) {
    TPcapngBytes bytes;
    std::string digits;
    for (const char c : text) {
        if (c == ' ' || c == '|') continue;
        digits += c;
        if (digits.size() == 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits, nullptr, 16)));
            digits.clear();
        }
    }
    return bytes;
}

TUsbEvent Event(bool submit, std::uint8_t endpoint, std::span<const std::uint8_t> data) {
    TUsbEvent event;
    event.Urb = 7;
    event.Submit = submit;
    event.Endpoint = endpoint;
    event.Bus = 3;
    event.Device = 4;
    event.Micros = 1'000'002;
    event.UrbLength = 2;
    event.Data = data;
    event.Interval = 1;
    return event;
}

struct TBlockCase {
    const char* Name;
    TPcapngBytes Got;
    const char* Want;
};

TEST(Pcapng, BlocksAreWholeAsTheFormatLaysThemOut) {
    const std::array<std::uint8_t, 2> two{1, 2};
    const std::array<std::uint8_t, 1> one{0xAA};
    const TBlockCase cases[] = {
        {"section header naming the program", PcapngSectionHeader("ab"),
         "0A0D0D0A 28000000 | 4D3C2B1A 0100 0000 FFFFFFFFFFFFFFFF | 0400 0200 6162 0000 | 00000000 | 28000000"},
        {"section header without a name", PcapngSectionHeader(""),
         "0A0D0D0A 1C000000 | 4D3C2B1A 0100 0000 FFFFFFFFFFFFFFFF | 1C000000"},
        {"interface: USB Linux memory-mapped", PcapngInterface(), "01000000 14000000 | DC00 0000 00000000 | 14000000"},
        {"packet with a comment, padded", PcapngPacket(0x1'0000'0002, one, "c"),
         "06000000 30000000 | 00000000 01000000 02000000 01000000 01000000 | AA000000 | 0100 0100 63000000 "
         "00000000 | 30000000"},
        {"OUT submit with its data", UsbmonPacket(Event(true, 0x01, two)),
         "0700000000000000 53 01 01 04 0300 2D 00 | 0100000000000000 02000000 | 8DFFFFFF 02000000 02000000 | "
         "0000000000000000 | 01000000 00000000 00000000 00000000 | 0102"},
        {"OUT completion without data", UsbmonPacket(Event(false, 0x01, {})),
         "0700000000000000 43 01 01 04 0300 2D 3E | 0100000000000000 02000000 | 00000000 02000000 00000000 | "
         "0000000000000000 | 01000000 00000000 00000000 00000000"},
        {"IN submit without data", UsbmonPacket(Event(true, 0x81, {})),
         "0700000000000000 53 01 81 04 0300 2D 3C | 0100000000000000 02000000 | 8DFFFFFF 02000000 00000000 | "
         "0000000000000000 | 01000000 00000000 00020000 00000000"},
        {"device descriptor", UsbDeviceDescriptor({.VendorId = 0xC04E, .ProductId = 0x2014, .Release = 0x0100}),
         "12 01 0002 00 00 00 40 4EC0 1420 0001 01 02 03 01"},
        {"the board's configuration: HID interface, class descriptor, endpoints",
         UsbConfigurationDescriptor({.EndpointOut = 0x02}, BoardHidFunction),
         "09 02 2900 01 01 00 80 32 | 09 04 00 00 02 03 00 00 04 | 09 21 0101 00 01 22 2200 | 07 05 81 03 4000 0A | "
         "07 05 02 03 4000 0A"},
        {"another function's subclass, protocol, power and report length",
         UsbConfigurationDescriptor(
             {}, {.Subclass = 1, .Protocol = 2, .ReportLength = 8, .MaxPowerMilliamps = 500, .ReportDescriptor = one}),
         "09 02 2900 01 01 00 80 FA | 09 04 00 00 02 03 01 02 04 | 09 21 0101 00 01 22 0100 | 07 05 81 03 0800 0A | "
         "07 05 01 03 0800 0A"},
    };
    for (const TBlockCase& c : cases) EXPECT_EQ(c.Got, Hex(c.Want)) << c.Name;
}

// A control submit carries its setup packet and says so.
TEST(Pcapng, ControlSubmitCarriesItsSetup) {
    const std::array<std::uint8_t, 8> setup{0x80, 6, 0, 1, 0, 0, 18, 0};
    TUsbEvent event = Event(true, 0x80, {});
    event.Transfer = 2;
    event.Setup = setup;
    event.Interval = 0;
    EXPECT_EQ(UsbmonPacket(event), Hex("0700000000000000 53 02 80 04 0300 00 3C | 0100000000000000 02000000 | "
                                       "8DFFFFFF 02000000 00000000 | 8006000100001200 | "
                                       "00000000 00000000 00020000 00000000"));
}

}  // namespace
}  // namespace lumidra::hid
