#include "boardmodel/BoardReports.h"

#include "hid/UsbHidFunction.h"

#include <algorithm>

namespace lumidra::boardmodel {

std::span<const std::uint8_t> BoardReportDescriptor() {
    return hid::BoardReportDescriptor;
}

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
    for (std::size_t i = 0; i < 4; ++i) report[SequenceOffset + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
}

std::uint32_t ReadSequence(std::span<const std::uint8_t, ReportSize> report) {
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < 4; ++i) sequence |= static_cast<std::uint32_t>(report[SequenceOffset + i]) << (8 * i);
    return sequence;
}

}  // namespace lumidra::boardmodel
