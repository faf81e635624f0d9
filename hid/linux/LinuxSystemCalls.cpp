#include "hid/HidDevice.h"
#include "hid/SystemCalls.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace lumidra::hid {

std::string WideToAnsi(const std::u16string& Text) {
    if (Text.empty()) return {};
    std::string result;
    result.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        char32_t code = Text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (Text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            result += static_cast<char>(code);
        } else if (code < 0x800) {
            result += static_cast<char>(0xC0 | (code >> 6));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            result += static_cast<char>(0xE0 | (code >> 12));
            result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (code >> 18));
            result += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return result;
}

void NameCurrentThread(std::string name) {
    if (name.size() > 15) name.resize(15);
    pthread_setname_np(pthread_self(), name.c_str());
}

namespace {

// The number in the first line of a sysfs attribute file, in `base`.
std::optional<unsigned long> ReadNumber(const std::filesystem::path& file, int base) {
    std::ifstream in(file);
    std::string text;
    if (!std::getline(in, text) || text.empty()) return std::nullopt;
    try {
        return std::stoul(text, nullptr, base);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

TUsbPlace UsbPlaceOf(const std::string& interfacePath, const std::string& sysRoot) {
    namespace fs = std::filesystem;
    TUsbPlace place;
    struct stat node {};
    if (::stat(interfacePath.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) return place;
    std::error_code error;
    const fs::path number = std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev));
    // <hidraw node>/device is the HID device, whose parent is the USB
    // interface (with its endpoints), whose parent is the USB device.
    const fs::path interface = fs::canonical(fs::path(sysRoot) / "dev" / "char" / number / "device" / "..", error);
    if (error) return place;
    const std::optional<unsigned long> bus = ReadNumber(interface / ".." / "busnum", 10);
    const std::optional<unsigned long> device = ReadNumber(interface / ".." / "devnum", 10);
    if (!bus || !device) return place;
    place.Bus = static_cast<std::uint16_t>(*bus);
    place.Device = static_cast<std::uint8_t>(*device);
    // Stepped with an error code: the range-for's step throws when the folder
    // changes under it (the board unplugged meanwhile).
    for (fs::directory_iterator entry(interface, error), end; !error && entry != end; entry.increment(error)) {
        const fs::path& path = entry->path();
        if (!path.filename().native().starts_with("ep_")) continue;
        std::ifstream type(path / "type");
        std::string kind;
        const std::optional<unsigned long> address = ReadNumber(path / "bEndpointAddress", 16);
        if (!std::getline(type, kind) || kind != "Interrupt" || !address) continue;
        (*address & 0x80 ? place.EndpointIn : place.EndpointOut) = static_cast<std::uint8_t>(*address);
    }
    return place;
}

}  // namespace lumidra::hid
