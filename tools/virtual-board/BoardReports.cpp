#include "tools/virtual-board/BoardReports.h"

#include <algorithm>

namespace lumidra::vboard {

namespace {

constexpr std::uint8_t Descriptor[] = {
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

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::span<const std::uint8_t> BoardReportDescriptor() { return Descriptor; }

std::vector<std::uint8_t> OutputAsReceived(std::span<const std::uint8_t> written) {
    if (!written.empty() && written[0] == 0) written = written.subspan(1);
    return {written.begin(), written.end()};
}

std::optional<TReport> MakeInputReport(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > ReportSize) return std::nullopt;
    TReport report{};
    std::copy(bytes.begin(), bytes.end(), report.begin());
    return report;
}

TReport MakeStatusReport(const TBoardStatus& status) {
    TReport report{};
    report[0] = static_cast<std::uint8_t>(status.Analog1 & 0xFF);
    report[1] = static_cast<std::uint8_t>(status.Analog1 >> 8);
    report[2] = static_cast<std::uint8_t>(status.Analog2 & 0xFF);
    report[3] = static_cast<std::uint8_t>(status.Analog2 >> 8);
    report[4] = status.Inputs;
    report[5] = status.KeyStatus;
    report[6] = status.JobAck;
    for (std::size_t i = 0; i < status.KeyId.size(); ++i) report[15 - i] = status.KeyId[i];
    return report;
}

void StampSequence(TReport& report, std::uint32_t sequence) {
    for (std::size_t i = 0; i < 4; ++i)
        report[SequenceOffset + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
}

std::uint32_t ReadSequence(std::span<const std::uint8_t, ReportSize> report) {
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < 4; ++i)
        sequence |= static_cast<std::uint32_t>(report[SequenceOffset + i]) << (8 * i);
    return sequence;
}

std::string FormatHex(std::span<const std::uint8_t> bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += Digits[b >> 4];
        text += Digits[b & 0x0F];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> ParseHex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        // A byte is two adjacent digits; a blank may only stand between bytes.
        if (i + 1 >= text.size()) return std::nullopt;
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        i += 2;
    }
    return bytes;
}

}  // namespace lumidra::vboard
