// The few calls of the device layer's core that each operating system makes
// its own way. Each system defines them in its folder (linux/, windows/), so
// the core includes none of a system's headers. WideToAnsi (HidDevice.h) is
// defined there too.
#pragma once

#include "hid/Pcapng.h"

#include <string>

namespace lumidra::hid {

// Names the calling thread as debuggers and process lists show it, cut to
// what the system keeps (15 bytes on Linux); nothing where no tool of this
// program reads the name (Windows).
void NameCurrentThread(std::string name);

// Where the USB device behind the HID node `interfacePath` sits: its bus and
// device number and its interrupt endpoints, as sysfs under `sysRoot` tells
// them (Linux); the defaults for what the system does not tell (Windows, a
// HID device that is not on USB, the virtual bus's devices).
TUsbPlace UsbPlaceOf(const std::string& interfacePath, const std::string& sysRoot = "/sys");

}  // namespace lumidra::hid
