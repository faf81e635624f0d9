// Reading a hidraw node's identity and report descriptor from sysfs.
//
// Query-only handles never touch the device node (the user may have no
// access to it), so everything they answer comes from here. The functions
// take the sysfs paths as arguments, so they also work on a copy of a sysfs
// tree (the tests build one).
#pragma once

#include "hid/linux/HidIdentity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lumidra::hid::hidraw {

// The whole content of a small file, up to `maxBytes`; empty optional when it
// cannot be read.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes = 65536);

// The canonical sysfs folder of the hidraw node with device number `device`
// (…/hidraw/hidrawN), looked up through <sysRoot>/dev/char; empty when that
// device number is not a hidraw node.
std::string HidrawSysPath(const std::string& sysRoot, dev_t device);

// What sysfs says about the node at `hidrawSysPath`: the HID device's uevent
// and, when the HID device sits on a USB interface, its USB device's string
// indexes, strings and release number. Empty optional when the HID device's
// uevent cannot be read (the node has gone).
std::optional<THidNodeIdentity> ReadNodeIdentity(const std::string& hidrawSysPath);

// The HID device's report descriptor.
std::optional<std::vector<std::uint8_t>> ReadReportDescriptorFile(const std::string& hidrawSysPath);

}  // namespace lumidra::hid::hidraw
