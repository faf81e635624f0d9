// The 26 registry properties a scan collects for each interface, read one
// call each, in a fixed order, into buffers of fixed sizes.
#pragma once

#include "hid/HidPlatform.h"

#include <cstdint>
#include <functional>

namespace lumidra::hid {

// Reads property `code` (an SPDRP_ value) into `buffer` of `size` bytes;
// leaves the buffer as it was when the property is absent.
using TRegistryPropertyReader = std::function<bool(std::uint32_t code, std::uint8_t* buffer, std::uint32_t size)>;

// Buffer sizes per kind of property.
inline constexpr std::uint32_t RegistryNumberBytes = 4;
inline constexpr std::uint32_t RegistryTextBytes = 1024;
inline constexpr std::uint32_t RegistryTextListBytes = 16384;

THidRegistryProperties ReadRegistryProperties(const TRegistryPropertyReader& read);

}  // namespace lumidra::hid
