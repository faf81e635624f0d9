// The main window's run-wide state.
#pragma once

#include "protocol/JobGuard.h"

#include <optional>
#include <string>

namespace lumidra::app {

// True while the window is in the attached state. It stays true after the
// board is unplugged until the next device change resets the window.
extern bool BoardAttached;

// A job that was in hand when its board was handed back, kept until the
// device change that follows ends it.
struct TCutJob {
    protocol::TJob Job = protocol::TJob::Dump;
    bool Acknowledged = false;
    std::string BoardPath;  // the interface the job was asked of
};
extern std::optional<TCutJob> CutJob;

// Puts the window state back to its value at program start.
void ResetAppState();

// Puts every module's run-wide state back to its value at program start: the
// features' first (a transfer's unfinished file, the plot's record, the
// chart's recording), then the window's, then the protocol's, which hands a
// board still attached back, so the controller that lent it must still live. Every test fixture, fuzzer and
// benchmark starts and ends with this one call.
void ResetRunState();

}  // namespace lumidra::app
