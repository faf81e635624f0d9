// The few calls of the device layer's core that each operating system makes
// its own way. Each system defines them in its folder (linux/, windows/), so
// the core includes none of a system's headers. WideToAnsi (HidDevice.h) is
// defined there too.
#pragma once

#include <string>

namespace lumidra::hid {

// Names the calling thread as debuggers and process lists show it, cut to
// what the system keeps (15 bytes on Linux); nothing where no tool of this
// program reads the name (Windows).
void NameCurrentThread(std::string name);

}  // namespace lumidra::hid
