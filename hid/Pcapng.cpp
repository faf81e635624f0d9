#include "hid/Pcapng.h"

#include <array>

namespace lumidra::hid {

namespace {

constexpr std::uint32_t SectionHeaderType = 0x0A0D0D0A;
constexpr std::uint32_t InterfaceType = 1;
constexpr std::uint32_t EnhancedPacketType = 6;
constexpr std::uint32_t ByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t LinkTypeUsbLinuxMmapped = 220;
constexpr std::uint16_t OptionEnd = 0, OptionComment = 1, OptionUserApplication = 4;
constexpr std::int32_t InProgress = -115;   // -EINPROGRESS: a submit's status
constexpr std::uint32_t UrbDirIn = 0x0200;  // the URB's transfer flag for IN
constexpr std::uint8_t ControlTransfer = 2;
constexpr std::uint8_t DescriptorDevice = 1, DescriptorConfiguration = 2, DescriptorHid = 0x21, DescriptorReport = 0x22;
constexpr std::uint8_t ToDevice = 0x80, ToInterface = 0x81;  // a GET_DESCRIPTOR's bmRequestType
// What the kernel's HID gadget puts around the function it is given: the
// interface's string follows the device's three, the endpoints are polled
// every 10 frames at full speed, the control endpoint takes 64 bytes.
constexpr std::uint8_t InterfaceString = 4, FullSpeedInterval = 10, ControlPacket = 64;

void Put16(TPcapngBytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(TPcapngBytes& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

void Put64(TPcapngBytes& out, std::uint64_t v) {
    Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}

void PutPadded(TPcapngBytes& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    while (out.size() % 4 != 0) out.push_back(0);
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// An option (code, length, value padded to 4); nothing for an empty value.
void PutOption(TPcapngBytes& out, std::uint16_t code, std::string_view value) {
    if (value.empty()) return;
    Put16(out, code);
    Put16(out, static_cast<std::uint16_t>(value.size()));
    PutPadded(out, Bytes(value));
}

// A block of `type` around `body` (already a multiple of 4 bytes long), its
// options closed by opt_endofopt when there are any.
TPcapngBytes Block(std::uint32_t type, const TPcapngBytes& body, const TPcapngBytes& options) {
    TPcapngBytes block;
    const auto length = static_cast<std::uint32_t>(12 + body.size() + options.size() + (options.empty() ? 0 : 4));
    Put32(block, type);
    Put32(block, length);
    block.insert(block.end(), body.begin(), body.end());
    block.insert(block.end(), options.begin(), options.end());
    if (!options.empty()) Put32(block, OptionEnd);
    Put32(block, length);
    return block;
}

}  // namespace

TPcapngBytes PcapngSectionHeader(std::string_view application) {
    TPcapngBytes body;
    Put32(body, ByteOrderMagic);
    Put16(body, 1);
    Put16(body, 0);
    Put64(body, ~std::uint64_t{0});
    TPcapngBytes options;
    PutOption(options, OptionUserApplication, application);
    return Block(SectionHeaderType, body, options);
}

TPcapngBytes PcapngInterface() {
    TPcapngBytes body;
    Put16(body, LinkTypeUsbLinuxMmapped);
    Put16(body, 0);
    Put32(body, 0);
    return Block(InterfaceType, body, {});
}

TPcapngBytes PcapngPacket(std::int64_t micros, std::span<const std::uint8_t> packet, std::string_view comment) {
    TPcapngBytes body;
    const auto time = static_cast<std::uint64_t>(micros);
    Put32(body, 0);
    Put32(body, static_cast<std::uint32_t>(time >> 32));
    Put32(body, static_cast<std::uint32_t>(time));
    Put32(body, static_cast<std::uint32_t>(packet.size()));
    Put32(body, static_cast<std::uint32_t>(packet.size()));
    PutPadded(body, packet);
    TPcapngBytes options;
    PutOption(options, OptionComment, comment);
    return Block(EnhancedPacketType, body, options);
}

TPcapngBytes UsbmonPacket(const TUsbEvent& event) {
    const bool in = (event.Endpoint & 0x80) != 0;
    TPcapngBytes p;
    Put64(p, event.Urb);
    p.push_back(event.Submit ? 'S' : 'C');
    p.push_back(event.Transfer);
    p.push_back(event.Endpoint);
    p.push_back(event.Device);
    Put16(p, event.Bus);
    p.push_back(event.Setup.empty() ? '-' : 0);
    p.push_back(!event.Data.empty() ? 0 : in ? '<' : '>');
    Put64(p, static_cast<std::uint64_t>(event.Micros / 1'000'000));
    Put32(p, static_cast<std::uint32_t>(event.Micros % 1'000'000));
    Put32(p, static_cast<std::uint32_t>(event.Submit ? InProgress : 0));
    Put32(p, event.UrbLength);
    Put32(p, static_cast<std::uint32_t>(event.Data.size()));
    std::array<std::uint8_t, 8> setup{};
    for (std::size_t i = 0; i < event.Setup.size() && i < setup.size(); ++i) setup[i] = event.Setup[i];
    p.insert(p.end(), setup.begin(), setup.end());
    Put32(p, static_cast<std::uint32_t>(event.Interval));
    Put32(p, 0);  // start frame
    Put32(p, in ? UrbDirIn : 0);
    Put32(p, 0);  // isochronous descriptors
    p.insert(p.end(), event.Data.begin(), event.Data.end());
    return p;
}

TPcapngBytes UsbDeviceDescriptor(const TUsbIdentity& identity) {
    TPcapngBytes d{18, DescriptorDevice};
    Put16(d, 0x0200);                             // USB 2.0
    d.insert(d.end(), {0, 0, 0, ControlPacket});  // class, subclass, protocol per interface
    Put16(d, identity.VendorId);
    Put16(d, identity.ProductId);
    Put16(d, identity.Release);
    d.insert(d.end(), {1, 2, 3, 1});  // manufacturer, product, serial number; one configuration
    return d;
}

TPcapngBytes UsbConfigurationDescriptor(const TUsbPlace& place, const TUsbHidFunction& function) {
    constexpr std::uint16_t total = 9 + 9 + 9 + 7 + 7;
    TPcapngBytes d{9, DescriptorConfiguration};
    Put16(d, total);
    // One interface, configuration 1, bus-powered, the power in units of 2 mA.
    d.insert(d.end(), {1, 1, 0, 0x80, static_cast<std::uint8_t>((function.MaxPowerMilliamps + 1) / 2)});
    d.insert(d.end(), {9, 4, 0, 0, 2, 3, function.Subclass, function.Protocol, InterfaceString});
    d.insert(d.end(), {9, DescriptorHid, 0x01, 0x01, 0, 1, DescriptorReport});  // HID 1.01, one descriptor
    Put16(d, static_cast<std::uint16_t>(function.ReportDescriptor.size()));
    for (const std::uint8_t endpoint : {place.EndpointIn, place.EndpointOut}) {
        d.insert(d.end(), {7, 5, endpoint, 3});  // interrupt
        Put16(d, function.ReportLength);
        d.push_back(FullSpeedInterval);
    }
    return d;
}

TPcapngBytes TPcapngStream::Begin(std::string_view application) {
    TPcapngBytes out = PcapngSectionHeader(application);
    const TPcapngBytes interface = PcapngInterface();
    out.insert(out.end(), interface.begin(), interface.end());
    return out;
}

TPcapngBytes TPcapngStream::Enumeration(const TUsbPlace& place, std::int64_t micros, std::string_view comment) {
    place_ = place;
    TPcapngBytes out;
    for (const auto& part :
         {Control(micros, ToDevice, DescriptorDevice, UsbDeviceDescriptor(identity_), comment),
          Control(micros, ToDevice, DescriptorConfiguration, UsbConfigurationDescriptor(place_, function_), {}),
          Control(micros, ToInterface, DescriptorReport, function_.ReportDescriptor, {})})
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

TPcapngBytes TPcapngStream::Control(std::int64_t micros, std::uint8_t recipient, std::uint8_t descriptorType,
                                    std::span<const std::uint8_t> answer, std::string_view comment) {
    const auto length = static_cast<std::uint8_t>(answer.size());
    // GET_DESCRIPTOR of the device's, or of interface 0's
    const std::array<std::uint8_t, 8> setup{recipient, 6, 0, descriptorType, 0, 0, length, 0};
    TUsbEvent event = Event(micros, 0x80, length);
    event.Transfer = ControlTransfer;
    event.Setup = setup;
    TPcapngBytes out = PcapngPacket(micros, UsbmonPacket(event), comment);
    event.Submit = false;
    event.Setup = {};
    event.Data = answer;
    const TPcapngBytes completion = PcapngPacket(micros, UsbmonPacket(event));
    out.insert(out.end(), completion.begin(), completion.end());
    return out;
}

TUsbEvent TPcapngStream::Event(std::int64_t micros, std::uint8_t endpoint, std::uint32_t length) {
    TUsbEvent event;
    event.Urb = ++urb_;
    event.Endpoint = endpoint;
    event.Bus = place_.Bus;
    event.Device = place_.Device;
    event.Micros = micros;
    event.UrbLength = length;
    return event;
}

TPcapngBytes TPcapngStream::Report(std::int64_t micros, bool out, std::span<const std::uint8_t> payload) {
    TUsbEvent event =
        Event(micros, out ? place_.EndpointOut : place_.EndpointIn, static_cast<std::uint32_t>(payload.size()));
    event.Interval = 1;
    if (out) event.Data = payload;
    TPcapngBytes bytes = PcapngPacket(micros, UsbmonPacket(event));
    event.Submit = false;
    event.Data = out ? std::span<const std::uint8_t>{} : payload;
    const TPcapngBytes completion = PcapngPacket(micros, UsbmonPacket(event));
    bytes.insert(bytes.end(), completion.begin(), completion.end());
    return bytes;
}

}  // namespace lumidra::hid
