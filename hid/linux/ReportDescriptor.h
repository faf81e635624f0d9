// A small HID report descriptor parser: just enough to give the capabilities
// the device layer asks for (report lengths as the Windows HID stack reports
// them, the top collection's usage) and to tell whether reports are numbered,
// which decides how an input report read from hidraw is framed.
//
// Pure functions, no I/O. Descriptors come from devices, so every input is
// treated as untrusted: malformed or truncated data yields an error result,
// never a read past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>

namespace lumidra::hid::hidraw {

enum class TDescriptorError {
    None,
    Truncated,             // an item runs past the end of the data
    BadReportId,           // Report ID 0 or above 255
    StackOverflow,         // too many nested Push items
    StackUnderflow,        // Pop without Push
    UnbalancedCollection,  // End Collection without Collection, or one left open
    ReportTooLong,         // a report longer than a 16-bit length can describe
};

struct TReportLayout {
    TDescriptorError Error = TDescriptorError::None;
    std::size_t ErrorOffset = 0;  // byte offset of the item that failed

    // Whether the descriptor declares report IDs; then every report travels
    // with its ID byte first, also through hidraw.
    bool NumberedReports = false;

    // Usage and usage page of the first top-level collection.
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t CollectionCount = 0;

    // Payload bytes of each report, by report ID (ID 0 when reports are not
    // numbered), without the ID byte.
    std::map<std::uint8_t, std::uint32_t> InputBytes;
    std::map<std::uint8_t, std::uint32_t> OutputBytes;
    std::map<std::uint8_t, std::uint32_t> FeatureBytes;

    // The largest report of each kind plus one for the report-ID byte, which
    // the Windows HID stack counts whether reports are numbered or not;
    // 0 when there is no report of that kind.
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;

    bool Ok() const { return Error == TDescriptorError::None; }
};

// Parses a complete report descriptor. On error, the fields hold what was
// gathered before the failing item.
TReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace lumidra::hid::hidraw
