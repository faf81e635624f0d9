// Reports as tests and benchmarks write them: a status report as the board
// sends it between jobs, the bytes the host's reader takes for an input
// report, and an output report as the host writes it.
#pragma once

#include "protocol/InputDecode.h"
#include "protocol/ProtocolState.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace lumidra::testing {

// A status report: channels, input bits, key status, key bytes 8 to 15 (in
// the order given), job acknowledgement.
inline protocol::InputReport Status(int channel1, int channel2, std::uint8_t inputs = 0, std::uint8_t keyStatus = 0,
                                    std::array<std::uint8_t, 8> key = {}, std::uint8_t jobAck = 0) {
    protocol::InputReport r{};
    r[0] = static_cast<std::uint8_t>(channel1 & 0xFF);
    r[1] = static_cast<std::uint8_t>(channel1 >> 8);
    r[2] = static_cast<std::uint8_t>(channel2 & 0xFF);
    r[3] = static_cast<std::uint8_t>(channel2 >> 8);
    r[4] = inputs;
    r[5] = keyStatus;
    r[6] = jobAck;
    std::copy(key.begin(), key.end(), r.begin() + 8);
    return r;
}

// An input report as the reader takes it from the device: report ID 0, then
// the payload.
inline std::vector<std::uint8_t> AsRead(std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> report(payload.size() + 1, 0);
    std::copy(payload.begin(), payload.end(), report.begin() + 1);
    return report;
}

// An output report as the host writes it: report ID 0, the payload's bytes
// from byte 1, zeros to byte 64.
inline std::vector<std::uint8_t> Report(std::initializer_list<std::uint8_t> payload) {
    std::vector<std::uint8_t> report(protocol::OutputReportSize, 0);
    std::copy(payload.begin(), payload.end(), report.begin() + 1);
    return report;
}

}  // namespace lumidra::testing
