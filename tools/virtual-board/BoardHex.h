// The hex text of the board's log, its scripts and its control pipe: one
// report's bytes as "0A FF 00".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumidra::vboard {

// "0A FF 00": upper case, one blank between bytes, nothing for no bytes.
std::string FormatHex(std::span<const std::uint8_t> bytes);
// Inverse of FormatHex, also accepting lower case and bytes written without
// blanks ("0aff00"). Nothing for an odd digit count or any other character.
std::optional<std::vector<std::uint8_t>> ParseHex(std::string_view text);

}  // namespace lumidra::vboard
