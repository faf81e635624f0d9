#include "hid/linux/HidIdentity.h"

#include <cstring>

namespace lumidra::hid::hidraw {

namespace {

std::optional<std::uint32_t> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        int nibble;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        else
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(nibble);
    }
    return value;
}

const std::string* Find(const TProperties& properties, std::string_view key) {
    auto it = properties.find(key);
    return it == properties.end() ? nullptr : &it->second;
}

}  // namespace

TProperties ParseUevent(std::string_view text) {
    TProperties properties;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        properties[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
    }
    return properties;
}

std::optional<THidId> ParseHidId(std::string_view value) {
    const std::size_t first = value.find(':');
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t second = value.find(':', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const auto bus = ParseHex(value.substr(0, first));
    const auto vendor = ParseHex(value.substr(first + 1, second - first - 1));
    const auto product = ParseHex(value.substr(second + 1));
    if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
    return THidId{*bus, static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product)};
}

std::optional<TUsbStringIndexes> ParseUsbStringIndexes(std::span<const std::uint8_t> descriptors) {
    // Device descriptor: bLength 18, bDescriptorType 1; iManufacturer,
    // iProduct and iSerialNumber at offsets 14, 15 and 16.
    constexpr std::size_t DeviceDescriptorLength = 18;
    constexpr std::uint8_t DeviceDescriptorType = 1;
    if (descriptors.size() < DeviceDescriptorLength || descriptors[0] != DeviceDescriptorLength ||
        descriptors[1] != DeviceDescriptorType)
        return std::nullopt;
    return TUsbStringIndexes{descriptors[14], descriptors[15], descriptors[16]};
}

THidNodeIdentity IdentityFromProperties(const TProperties& hidProperties) {
    THidNodeIdentity identity;
    if (const auto* id = Find(hidProperties, "HID_ID")) identity.Id = ParseHidId(*id);
    if (const auto* name = Find(hidProperties, "HID_NAME")) identity.Name = *name;
    if (const auto* uniq = Find(hidProperties, "HID_UNIQ")) identity.Uniq = *uniq;
    return identity;
}

std::optional<std::u16string> IndexedString(const THidNodeIdentity& identity, std::uint32_t index) {
    if (index > 0xFF) return std::nullopt;

    // Index -> UTF-8 text, for every string the device has.
    std::map<std::uint32_t, std::string_view> strings;
    if (identity.Usb) {
        const auto& usb = *identity.Usb;
        auto add = [&](std::uint8_t at, const std::optional<std::string>& text) {
            if (at != 0 && text) strings.emplace(at, *text);
        };
        add(usb.Indexes.Manufacturer, usb.Manufacturer);
        add(usb.Indexes.Product, usb.Product);
        add(usb.Indexes.SerialNumber, usb.SerialNumber);
    } else {
        if (!identity.Name.empty()) strings.emplace(NonUsbProductIndex, identity.Name);
        if (!identity.Uniq.empty()) strings.emplace(NonUsbSerialIndex, identity.Uniq);
    }

    if (index == 0) {
        if (strings.empty()) return std::nullopt;
        return std::u16string(1, LanguageUsEnglish);
    }
    auto it = strings.find(index);
    if (it == strings.end()) return std::nullopt;
    return Utf8ToUtf16(it->second);
}

std::optional<std::u16string> SerialNumberString(const THidNodeIdentity& identity) {
    if (!identity.Uniq.empty()) return Utf8ToUtf16(identity.Uniq);
    if (identity.Usb && identity.Usb->SerialNumber && !identity.Usb->SerialNumber->empty())
        return Utf8ToUtf16(*identity.Usb->SerialNumber);
    return std::nullopt;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    constexpr char16_t Replacement = 0xFFFD;
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::uint32_t cp;
        std::size_t extra;
        std::uint32_t minimum;
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F, extra = 1, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F, extra = 2, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07, extra = 3, minimum = 0x10000;
        } else {
            out.push_back(Replacement);
            ++i;
            continue;
        }
        std::size_t taken = 1;
        bool good = true;
        for (; taken <= extra; ++taken) {
            if (i + taken >= text.size()) {
                good = false;
                break;
            }
            const auto next = static_cast<unsigned char>(text[i + taken]);
            if ((next & 0xC0) != 0x80) {
                good = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!good || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(Replacement);
            i += taken;  // the lead byte and the continuation bytes seen
            continue;
        }
        i += taken;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

bool CopyWideString(std::u16string_view text, void* buffer, std::uint32_t bufferBytes) {
    const std::size_t room = bufferBytes / sizeof(char16_t);
    if (buffer == nullptr || room == 0) return false;
    const std::size_t count = text.size() < room ? text.size() : room;
    auto* bytes = static_cast<unsigned char*>(buffer);
    // The caller's buffer need not be aligned for char16_t.
    std::memcpy(bytes, text.data(), count * sizeof(char16_t));
    if (count < room) {
        const char16_t nul = 0;
        std::memcpy(bytes + count * sizeof(char16_t), &nul, sizeof nul);
    }
    return true;
}

}  // namespace lumidra::hid::hidraw
