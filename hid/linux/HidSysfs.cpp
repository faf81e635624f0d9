#include "hid/linux/HidSysfs.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace lumidra::hid::hidraw {

namespace fs = std::filesystem;

namespace {

// A sysfs attribute without the newline the kernel appends.
std::optional<std::string> ReadAttribute(const fs::path& path) {
    auto text = ReadSmallFile(path.string(), 4096);
    if (text && !text->empty() && text->back() == '\n') text->pop_back();
    return text;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::optional<TUsbDeviceInfo> ReadUsbDevice(const fs::path& usbDevice) {
    const auto raw = ReadSmallFile((usbDevice / "descriptors").string());
    if (!raw) return std::nullopt;
    const auto indexes = ParseUsbStringIndexes({reinterpret_cast<const std::uint8_t*>(raw->data()), raw->size()});
    if (!indexes) return std::nullopt;

    TUsbDeviceInfo usb;
    usb.Indexes = *indexes;
    // The kernel creates these files only for strings it could read.
    usb.Manufacturer = ReadAttribute(usbDevice / "manufacturer");
    usb.Product = ReadAttribute(usbDevice / "product");
    usb.SerialNumber = ReadAttribute(usbDevice / "serial");
    if (const auto bcd = ReadAttribute(usbDevice / "bcdDevice")) {
        // Four hexadecimal digits, e.g. "0100".
        unsigned value = 0;
        bool good = !bcd->empty() && bcd->size() <= 4;
        for (char c : *bcd) {
            if (c >= '0' && c <= '9')
                value = value * 16 + unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                value = value * 16 + unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value = value * 16 + unsigned(c - 'A' + 10);
            else
                good = false;
        }
        if (good) usb.BcdDevice = static_cast<std::uint16_t>(value);
    }
    return usb;
}

}  // namespace

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    char chunk[4096];
    bool failed = false;
    while (content.size() < maxBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed = true;
            break;
        }
        if (n == 0) break;
        content.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (failed) return std::nullopt;
    if (content.size() > maxBytes) content.resize(maxBytes);
    return content;
}

std::string HidrawSysPath(const std::string& sysRoot, dev_t device) {
    const fs::path link =
        fs::path(sysRoot) / "dev" / "char" / (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    std::error_code ec;
    const fs::path node = fs::canonical(link, ec);
    if (ec) return {};
    const fs::path subsystem = fs::canonical(node / "subsystem", ec);
    if (ec || subsystem.filename() != "hidraw") return {};
    return node.string();
}

std::optional<THidNodeIdentity> ReadNodeIdentity(const std::string& hidrawSysPath) {
    std::error_code ec;
    const fs::path hidDevice = fs::canonical(fs::path(hidrawSysPath) / "device", ec);
    if (ec) return std::nullopt;
    const auto uevent = ReadSmallFile((hidDevice / "uevent").string());
    if (!uevent) return std::nullopt;

    THidNodeIdentity identity = IdentityFromProperties(ParseUevent(*uevent));
    // A USB HID device hangs below its USB interface, which hangs below the
    // USB device. A HID device elsewhere (uhid, Bluetooth, I2C) has no USB
    // strings, even when it claims the USB bus.
    const fs::path usbInterface = hidDevice.parent_path();
    if (identity.Id && identity.Id->Bus == BusUsb && Exists(usbInterface / "bInterfaceNumber"))
        identity.Usb = ReadUsbDevice(usbInterface.parent_path());
    return identity;
}

std::optional<std::vector<std::uint8_t>> ReadReportDescriptorFile(const std::string& hidrawSysPath) {
    const auto raw = ReadSmallFile((fs::path(hidrawSysPath) / "device" / "report_descriptor").string());
    if (!raw) return std::nullopt;
    return std::vector<std::uint8_t>(raw->begin(), raw->end());
}

}  // namespace lumidra::hid::hidraw
