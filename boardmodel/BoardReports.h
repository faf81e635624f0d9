// The board's side of the wire, without any transport: its identity, its
// report descriptor, how an output write arrives at it and how its input
// reports are built. The board model, the uhid tool and the tests share these.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace lumidra::boardmodel {

inline constexpr std::uint16_t BoardVendorId = 0xC04E;
inline constexpr std::uint16_t BoardProductId = 0x2014;
inline constexpr std::uint16_t BoardVersion = 0x0100;
inline constexpr std::string_view BoardSerial = "01.01";

// Payload bytes of every input and output report; the board has no report IDs.
inline constexpr std::size_t ReportSize = 64;
using TReport = std::array<std::uint8_t, ReportSize>;

// The board's report descriptor (hid::BoardReportDescriptor): one 64-byte
// input and one 64-byte output report, no Report ID item.
std::span<const std::uint8_t> BoardReportDescriptor();

// The bytes a USB board receives for one output write from the host. A device
// without numbered reports never sees report ID 0 on the wire: the host stack
// drops a leading 0 byte and sends the rest. Any other first byte is data and
// goes out with the rest, as the USB HID driver does.
std::vector<std::uint8_t> OutputAsReceived(std::span<const std::uint8_t> written);

// An input report from up to 64 bytes, zero-padded to exactly 64: the kernel
// silently drops an input report shorter than the descriptor says. Nothing
// when more than 64 bytes are given.
std::optional<TReport> MakeInputReport(std::span<const std::uint8_t> bytes);

// The fields of a status report as the board sends it when no job is running.
struct TBoardStatus {
    std::uint16_t Analog1 = 0;   // 0..1023, little-endian at bytes 0-1
    std::uint16_t Analog2 = 0;   // bytes 2-3
    std::uint8_t Inputs = 0;     // byte 4: bit n = on/off input n+1
    std::uint8_t KeyStatus = 0;  // byte 5: 0 none, 1 held, 2 read, 5/8 error
    std::uint8_t JobAck = 0;     // byte 6
    // The key identifier in the order it is shown (and stored in the key
    // base): the first byte here travels at index 15, the last at index 8.
    std::array<std::uint8_t, 8> KeyId{};
};
TReport MakeStatusReport(const TBoardStatus& status);

// A running number in the last four bytes (60..63, little-endian), which no
// status reader interprets: lets a reader of a burst count lost reports.
inline constexpr std::size_t SequenceOffset = 60;
void StampSequence(TReport& report, std::uint32_t sequence);
std::uint32_t ReadSequence(std::span<const std::uint8_t, ReportSize> report);

}  // namespace lumidra::boardmodel
