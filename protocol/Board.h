// The one board the program serves, and how its identity is shown.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace lumidra::hid {
class THidDevice;
class THidDeviceController;
}  // namespace lumidra::hid

namespace lumidra::protocol {

inline constexpr std::uint16_t BoardVendorID = 0xC04E;   // 49230
inline constexpr std::uint16_t BoardProductID = 0x2014;  // 8212
inline constexpr std::u16string_view BoardSerial = u"01.01";

// Whether `device` is the board: vendor and product ID first, and only for a
// match its serial-number string, which must be "01.01" exactly (case and
// length included). Reading the serial may open the device, so it is left
// out for every other device.
bool IsBoard(hid::THidDevice& device);

// The enumeration's offer of `device` at `index`: takes it as the
// AttachedDevice when it is the board, no board is attached yet (the first
// in the controller's order is the one used), and this user may read and
// write it. A board whose node has just appeared, before the system has set
// its owner and mode, is not taken: it would get no reader and every report
// to it would be lost. The device layer offers it again once it can be opened
// (the main handle, closed after each offer, is opened afresh here, which
// tells). A board taken is announced to the run's traces with its place on
// the bus. True when the board was taken now.
bool TakeBoard(hid::THidDeviceController& controller, hid::THidDevice& device, std::int32_t index);

// Tells the run's traces where the attached board sits on the bus (done by
// TakeBoard; again by a run that opens its traces once the board is found).
void TraceBoardPlace();

// The attach line: "<product>, VID=C04E, PID=2014, Ver=<serial>, ID=<manufacturer>",
// from the device's USB strings 2 (product) and 1 (manufacturer).
QString DeviceIdentityLine(const QString& product, std::uint16_t vendorID, std::uint16_t productID,
                           const QString& serial, const QString& manufacturer);

}  // namespace lumidra::protocol
