// A USB device's 64-byte reports as a pcapng capture that the common capture
// tools open: link type USB Linux with the 64-byte (memory-mapped) usbmon
// header, one interrupt transfer per report as usbmon records it. Plain
// functions that return whole blocks as bytes, and a small stream that keeps
// the transfer numbers; writing the bytes is the caller's.
//
// All numbers are little-endian, as the section header's byte-order magic
// says; times are microseconds since 1970 (the format's default resolution).
#pragma once

#include "hid/UsbHidFunction.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lumidra::hid {

using TPcapngBytes = std::vector<std::uint8_t>;

// Where the device sits on the bus. Unknown places keep these defaults: bus 0,
// device 1, the OUT endpoint 0x01 and the IN endpoint 0x81.
struct TUsbPlace {
    std::uint16_t Bus = 0;
    std::uint8_t Device = 1;
    std::uint8_t EndpointOut = 0x01;
    std::uint8_t EndpointIn = 0x81;
};

// What the device descriptor says of the device.
struct TUsbIdentity {
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    std::uint16_t Release = 0;  // bcdDevice
};

// The section header block: byte-order magic, version 1.0, section length
// unknown, and the option shb_userappl = `application` when it is not empty.
TPcapngBytes PcapngSectionHeader(std::string_view application);

// The interface description block of the one interface: link type 220 (USB
// Linux, memory-mapped header), no snapshot limit, microsecond times.
TPcapngBytes PcapngInterface();

// An enhanced packet block on interface 0 at `micros`, carrying `packet`
// whole, padded to 4 bytes, with the option opt_comment = `comment` when it
// is not empty.
TPcapngBytes PcapngPacket(std::int64_t micros, std::span<const std::uint8_t> packet, std::string_view comment = {});

// One usbmon event: what the 64-byte header says, and the data behind it.
struct TUsbEvent {
    std::uint64_t Urb = 0;      // shared by a transfer's submit and completion
    bool Submit = true;         // 'S', or the completion 'C'
    std::uint8_t Transfer = 1;  // 1 interrupt, 2 control
    std::uint8_t Endpoint = 0;  // bit 7 set for IN
    std::uint16_t Bus = 0;
    std::uint8_t Device = 0;
    std::int64_t Micros = 0;
    std::uint32_t UrbLength = 0;          // transfer length asked (submit) or done (completion)
    std::span<const std::uint8_t> Setup;  // 8 bytes of a control submit, else empty
    std::span<const std::uint8_t> Data;   // the bytes this event carries
    std::int32_t Interval = 0;            // polling interval of an interrupt endpoint
};

// The packet of `event`: the 64-byte header (a submit's status -EINPROGRESS,
// a completion's 0; the data flag 0 with data, '<' for an IN submit and '>'
// for an OUT completion without; the setup flag 0 with a setup packet, '-'
// without) followed by its data.
TPcapngBytes UsbmonPacket(const TUsbEvent& event);

// The descriptors below are those a Linux USB gadget made of one HID
// function presents at full speed: the board's as the virtual board's gadget
// presents it to the host.

// The 18-byte device descriptor: USB 2.0, class defined per interface, a
// 64-byte control endpoint, `identity`'s numbers, strings 1, 2 and 3 for
// manufacturer, product and serial number, one configuration.
TPcapngBytes UsbDeviceDescriptor(const TUsbIdentity& identity);

// The configuration descriptor with all that follows it: configuration 1,
// bus-powered, drawing `function`'s power; one interface of class HID (3)
// with `function`'s subclass and protocol and string 4; its HID class
// descriptor (HID 1.01, no country, one report descriptor of its length);
// then its interrupt IN and OUT endpoints at `place`, each of `function`'s
// report length, polled every 10 ms.
TPcapngBytes UsbConfigurationDescriptor(const TUsbPlace& place, const TUsbHidFunction& function);

// A capture's blocks, one call per record, with the transfers numbered.
class TPcapngStream {
public:
    explicit TPcapngStream(const TUsbIdentity& identity, const TUsbHidFunction& function = BoardHidFunction)
        : identity_(identity), function_(function) {}

    // The section header and the interface.
    TPcapngBytes Begin(std::string_view application);

    // The descriptor exchange that identifies the device, now at `place`
    // (GET_DESCRIPTOR of the device, of the configuration and of the HID
    // function's report descriptor, each a control submit and completion at
    // `micros`); the first record's comment says that these records are the
    // writer's own.
    TPcapngBytes Enumeration(const TUsbPlace& place, std::int64_t micros, std::string_view comment);

    // One report as the interrupt transfer usbmon records: the submit and the
    // completion at `micros` with one URB id; the 64 bytes on the submit of
    // an OUT transfer, on the completion of an IN one.
    TPcapngBytes Report(std::int64_t micros, bool out, std::span<const std::uint8_t> payload);

private:
    // The submit of a new transfer at this device's place.
    TUsbEvent Event(std::int64_t micros, std::uint8_t endpoint, std::uint32_t length);
    TPcapngBytes Control(std::int64_t micros, std::uint8_t recipient, std::uint8_t descriptorType,
                         std::span<const std::uint8_t> answer, std::string_view comment);

    TUsbPlace place_;
    TUsbIdentity identity_;
    TUsbHidFunction function_;
    std::uint64_t urb_ = 0;
};

}  // namespace lumidra::hid
