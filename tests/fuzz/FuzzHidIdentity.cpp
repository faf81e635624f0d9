// What sysfs says about a hidraw node is text and bytes a device (or a
// uhid program) chose. The input is a uevent file, optionally followed by a
// NUL and the raw USB descriptors of the sysfs `descriptors` file (a uevent
// never holds a NUL). The properties "manufacturer", "product" and "serial"
// stand in for the USB device's string files of the same names.
#include "hid/linux/HidIdentity.h"
#include "tests/fuzz/FuzzCheck.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

using namespace lumidra::hid::hidraw;

namespace {

// UTF-16 back to UTF-8, for the round trip of well-formed text; false for an
// unpaired surrogate.
bool Utf16ToUtf8(std::u16string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return true;
}

void CheckUtf8ToUtf16(std::string_view text) {
    const std::u16string wide = Utf8ToUtf16(text);
    // Never more units than bytes: one unit per byte at most, two for four.
    FUZZ_CHECK(wide.size() <= text.size());
    // Malformed input becomes U+FFFD, never a lone surrogate; text without a
    // replacement converts back to exactly the bytes it came from.
    std::string back;
    FUZZ_CHECK(Utf16ToUtf8(wide, back));
    if (wide.find(u'\uFFFD') == std::u16string::npos) FUZZ_CHECK(back == text);
}

// An independent reading of "bus:vendor:product", by std::from_chars.
std::optional<THidId> ReferenceHidId(std::string_view value) {
    std::uint32_t fields[3];
    for (int i = 0; i < 3; ++i) {
        const std::size_t colon = value.find(':');
        const std::string_view field = i < 2 ? value.substr(0, colon) : value;
        if (i < 2 && colon == std::string_view::npos) return std::nullopt;
        if (field.empty() || field.size() > 8) return std::nullopt;
        const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), fields[i], 16);
        if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
        if (i < 2) value.remove_prefix(colon + 1);
    }
    if (fields[1] > 0xFFFF || fields[2] > 0xFFFF) return std::nullopt;
    return THidId{fields[0], static_cast<std::uint16_t>(fields[1]), static_cast<std::uint16_t>(fields[2])};
}

void CheckHidId(std::string_view value) {
    const auto id = ParseHidId(value);
    const auto reference = ReferenceHidId(value);
    FUZZ_CHECK(id.has_value() == reference.has_value());
    if (id)
        FUZZ_CHECK(id->Bus == reference->Bus && id->VendorID == reference->VendorID &&
                   id->ProductID == reference->ProductID);
}

void CheckUevent(std::string_view text, const TProperties& properties) {
    std::string written;
    for (const auto& [key, value] : properties) {
        FUZZ_CHECK(!key.empty());
        FUZZ_CHECK(key.find('=') == std::string::npos && key.find('\n') == std::string::npos);
        FUZZ_CHECK(value.find('\n') == std::string::npos);
        // Each property is one line of the text.
        FUZZ_CHECK(text.find(key + "=" + value) != std::string_view::npos);
        written += key + "=" + value + "\r\n";
    }
    // Written back (CR LF, so that a value ending in CR keeps it), the
    // properties read the same.
    FUZZ_CHECK(ParseUevent(written) == properties);
}

std::optional<std::string> Property(const TProperties& properties, std::string_view key) {
    const auto it = properties.find(key);
    if (it == properties.end()) return std::nullopt;
    return it->second;
}

void CheckStrings(const THidNodeIdentity& identity) {
    bool any = false;
    for (std::uint32_t index = 1; index <= 0xFF; ++index) {
        const auto text = IndexedString(identity, index);
        if (!text) continue;
        any = true;
        // Every string answered is one of the node's own.
        bool known = false;
        auto is = [&](const std::optional<std::string>& s) { known = known || (s && Utf8ToUtf16(*s) == *text); };
        if (identity.Usb) {
            is(identity.Usb->Manufacturer);
            is(identity.Usb->Product);
            is(identity.Usb->SerialNumber);
        } else {
            is(identity.Name);
            is(identity.Uniq);
        }
        FUZZ_CHECK(known);
    }
    // The language list exists exactly when some string does.
    const auto languages = IndexedString(identity, 0);
    FUZZ_CHECK(languages.has_value() == any);
    if (languages) FUZZ_CHECK(*languages == std::u16string(1, LanguageUsEnglish));
    FUZZ_CHECK(!IndexedString(identity, 0x100));
    FUZZ_CHECK(!IndexedString(identity, 0xFFFFFFFF));

    const auto serial = SerialNumberString(identity);
    if (!identity.Uniq.empty()) FUZZ_CHECK(serial && *serial == Utf8ToUtf16(identity.Uniq));
    if (serial) FUZZ_CHECK(!serial->empty());
}

// Copies into a buffer of exactly `bytes` bytes at an odd address: nothing
// beyond the characters that fit and their NUL may change.
void CheckCopy(std::u16string_view text, std::uint32_t bytes) {
    constexpr unsigned char Fill = 0xA5;
    auto storage = std::make_unique<unsigned char[]>(bytes + 1);
    unsigned char* buffer = storage.get() + 1;
    std::memset(buffer, Fill, bytes);
    const bool copied = CopyWideString(text, buffer, bytes);
    const std::size_t room = bytes / 2;
    FUZZ_CHECK(copied == (room > 0));
    if (!copied) {
        for (std::uint32_t i = 0; i < bytes; ++i) FUZZ_CHECK(buffer[i] == Fill);
        return;
    }
    const std::size_t count = std::min(text.size(), room);
    FUZZ_CHECK(std::memcmp(buffer, text.data(), count * 2) == 0);
    std::size_t end = count * 2;
    if (count < room) {
        FUZZ_CHECK(buffer[end] == 0 && buffer[end + 1] == 0);
        end += 2;
    }
    for (std::size_t i = end; i < bytes; ++i) FUZZ_CHECK(buffer[i] == Fill);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const std::size_t nul = input.find('\0');
    const std::string_view text = input.substr(0, nul);
    const std::span<const std::uint8_t> descriptors =
        nul == std::string_view::npos ? std::span<const std::uint8_t>{}
                                      : std::span<const std::uint8_t>(bytes + nul + 1, size - nul - 1);

    const TProperties properties = ParseUevent(text);
    FUZZ_CHECK(ParseUevent(text) == properties);
    CheckUevent(text, properties);

    for (const auto& [key, value] : properties) CheckHidId(value);
    CheckHidId(text);
    CheckUtf8ToUtf16(text);

    const auto indexes = ParseUsbStringIndexes(descriptors);
    const bool deviceDescriptor = descriptors.size() >= 18 && descriptors[0] == 18 && descriptors[1] == 1;
    FUZZ_CHECK(indexes.has_value() == deviceDescriptor);
    if (indexes)
        FUZZ_CHECK(indexes->Manufacturer == descriptors[14] && indexes->Product == descriptors[15] &&
                   indexes->SerialNumber == descriptors[16]);

    THidNodeIdentity identity = IdentityFromProperties(properties);
    if (const auto id = Property(properties, "HID_ID"))
        FUZZ_CHECK(identity.Id.has_value() == ParseHidId(*id).has_value());
    else
        FUZZ_CHECK(!identity.Id);
    FUZZ_CHECK(identity.Name == Property(properties, "HID_NAME").value_or(""));
    FUZZ_CHECK(identity.Uniq == Property(properties, "HID_UNIQ").value_or(""));
    CheckStrings(identity);

    if (indexes) {
        TUsbDeviceInfo usb;
        usb.Indexes = *indexes;
        usb.Manufacturer = Property(properties, "manufacturer");
        usb.Product = Property(properties, "product");
        usb.SerialNumber = Property(properties, "serial");
        identity.Usb = usb;
        CheckStrings(identity);
    }

    const std::u16string wide = Utf8ToUtf16(text);
    CheckCopy(wide, static_cast<std::uint32_t>(size % 67));
    CheckCopy(wide, static_cast<std::uint32_t>(wide.size() * 2));
    CheckCopy(wide, static_cast<std::uint32_t>(wide.size() * 2 + 1));
    return 0;
}
