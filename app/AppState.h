// The main window's run-wide state.
#pragma once

namespace lumidra::app {

// True while the window is in the attached state. It stays true after the
// board is unplugged until the next device change resets the window.
extern bool BoardAttached;

// Puts the window state back to its value at program start.
void ResetAppState();

}  // namespace lumidra::app
