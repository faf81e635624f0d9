#include "hid/windows/WindowsRegistryProperties.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace lumidra::hid {
namespace {

using TNumber = std::uint32_t THidRegistryProperties::*;
using TText = std::string THidRegistryProperties::*;
using TTextList = std::vector<std::string> THidRegistryProperties::*;

struct TProperty {
    std::uint32_t Code;  // SPDRP_...
    std::variant<TNumber, TText, TTextList> Member;
};

// Read order: member order, except that the service comes right after the
// upper filters.
constexpr TProperty Properties[] = {
    {15, &THidRegistryProperties::Capabilities},
    {7, &THidRegistryProperties::Class},
    {8, &THidRegistryProperties::ClassGUID},
    {2, &THidRegistryProperties::CompatibleIDs},
    {10, &THidRegistryProperties::ConfigFlags},
    {0, &THidRegistryProperties::DeviceDesc},
    {9, &THidRegistryProperties::Driver},
    {12, &THidRegistryProperties::FriendlyName},
    {1, &THidRegistryProperties::HardwareID},
    {18, &THidRegistryProperties::LowerFilters},
    {11, &THidRegistryProperties::Mfg},
    {17, &THidRegistryProperties::UpperFilters},
    {4, &THidRegistryProperties::Service},
    {28, &THidRegistryProperties::Address},
    {21, &THidRegistryProperties::BusNumber},
    {19, &THidRegistryProperties::BusTypeGUID},
    {27, &THidRegistryProperties::Characteristics},
    {25, &THidRegistryProperties::DevType},
    {22, &THidRegistryProperties::EnumeratorName},
    {26, &THidRegistryProperties::Exclusive},
    {20, &THidRegistryProperties::LegacyBusType},
    {13, &THidRegistryProperties::LocationInformation},
    {14, &THidRegistryProperties::PhysicalDeviceObjectName},
    {24, &THidRegistryProperties::SecuritySDS},
    {16, &THidRegistryProperties::UINumber},
    {30, &THidRegistryProperties::UINumberDescFormat},
};
static_assert(std::size(Properties) == 26);

// The bytes up to the first NUL, never past the end of the buffer.
std::string TextAt(const std::uint8_t* begin, const std::uint8_t* end) {
    const auto* text = reinterpret_cast<const char*>(begin);
    const void* nul = std::memchr(text, 0, static_cast<std::size_t>(end - begin));
    const auto length = nul ? static_cast<const char*>(nul) - text : end - begin;
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

THidRegistryProperties ReadRegistryProperties(const TRegistryPropertyReader& read) {
    THidRegistryProperties result;
    std::vector<std::uint8_t> buffer(RegistryTextListBytes);
    for (const auto& property : Properties) {
        std::visit(
            [&](auto member) {
                using TMember = std::remove_reference_t<decltype(result.*member)>;
                if constexpr (std::is_same_v<TMember, std::uint32_t>) {
                    std::uint8_t number[RegistryNumberBytes] = {};
                    read(property.Code, number, RegistryNumberBytes);
                    std::memcpy(&(result.*member), number, RegistryNumberBytes);
                } else if constexpr (std::is_same_v<TMember, std::string>) {
                    // All zero, not just the first byte: a value stored without
                    // its NUL then cannot run into an earlier property's bytes.
                    std::fill_n(buffer.begin(), RegistryTextBytes, 0);
                    read(property.Code, buffer.data(), RegistryTextBytes);
                    result.*member = TextAt(buffer.data(), buffer.data() + RegistryTextBytes);
                } else {
                    std::fill(buffer.begin(), buffer.end(), 0);
                    read(property.Code, buffer.data(), RegistryTextListBytes);
                    // NUL-terminated entries until an empty one (or the end).
                    const auto* end = buffer.data() + RegistryTextListBytes;
                    for (const auto* entry = buffer.data(); entry < end;) {
                        std::string text = TextAt(entry, end);
                        if (text.empty()) break;
                        entry += text.size() + 1;
                        (result.*member).push_back(std::move(text));
                    }
                }
            },
            property.Member);
    }
    return result;
}

}  // namespace lumidra::hid
