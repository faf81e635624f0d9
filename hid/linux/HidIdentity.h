// What a hidraw node is, from the text sysfs gives about it, and how its
// strings are answered the way the Windows HID stack answers them.
//
// Windows asks a USB device for string descriptors by index; Linux only
// exposes the three strings the USB device descriptor names (manufacturer,
// product, serial number). The device descriptor's iManufacturer, iProduct
// and iSerialNumber fields tell which index each of them answers, so an
// index maps back to one of the three. Devices on other buses (Bluetooth,
// I2C, uhid) have no string descriptors: their HID name and unique id stand
// in as product and serial number at the indexes most USB devices use.
//
// Pure functions, no I/O.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lumidra::hid::hidraw {

// KEY=VALUE lines of a uevent file (or of udev properties).
using TProperties = std::map<std::string, std::string, std::less<>>;
TProperties ParseUevent(std::string_view text);

inline constexpr std::uint32_t BusUsb = 0x03;
inline constexpr std::uint32_t BusBluetooth = 0x05;

// The HID_ID property: "bus:vendor:product" in hexadecimal, e.g.
// "0003:0000C04E:00002014".
struct THidId {
    std::uint32_t Bus = 0;
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
};
std::optional<THidId> ParseHidId(std::string_view value);

// String indexes named by a USB device descriptor (0 = none).
struct TUsbStringIndexes {
    std::uint8_t Manufacturer = 0;
    std::uint8_t Product = 0;
    std::uint8_t SerialNumber = 0;
};
// From the raw descriptors of a USB device, device descriptor first (the
// sysfs `descriptors` file); empty when they do not start with one.
std::optional<TUsbStringIndexes> ParseUsbStringIndexes(std::span<const std::uint8_t> descriptors);

// What sysfs tells about the USB device a HID interface belongs to. Strings
// are UTF-8 as sysfs gives them; absent when the device has none.
struct TUsbDeviceInfo {
    TUsbStringIndexes Indexes;
    std::optional<std::string> Manufacturer;
    std::optional<std::string> Product;
    std::optional<std::string> SerialNumber;
    std::uint16_t BcdDevice = 0;
};

// A hidraw node's identity as sysfs describes it.
struct THidNodeIdentity {
    std::optional<THidId> Id;           // HID_ID
    std::string Name;                   // HID_NAME
    std::string Uniq;                   // HID_UNIQ
    std::optional<TUsbDeviceInfo> Usb;  // only for a node whose HID device sits on a USB interface
};

THidNodeIdentity IdentityFromProperties(const TProperties& hidProperties);

// The string indexes a node without a USB device answers.
inline constexpr std::uint8_t NonUsbProductIndex = 2;
inline constexpr std::uint8_t NonUsbSerialIndex = 3;

inline constexpr char16_t LanguageUsEnglish = 0x0409;

// The string a device answers for `index`, as UTF-16: index 0 is the
// language list (one entry, US English, when the device has any string).
// Empty optional when the device has no such string.
std::optional<std::u16string> IndexedString(const THidNodeIdentity& identity, std::uint32_t index);

// The serial number: the HID unique id, else the USB serial number.
std::optional<std::u16string> SerialNumberString(const THidNodeIdentity& identity);

// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Copies `text` into a caller's buffer of `bufferBytes` bytes as UTF-16,
// truncated to what fits, with a terminating NUL when there is room for it.
// False, with the buffer untouched, when not even one character fits.
bool CopyWideString(std::u16string_view text, void* buffer, std::uint32_t bufferBytes);

}  // namespace lumidra::hid::hidraw
