// The protocol's run-wide state: the three output report buffers, the board
// in use, the job flags and counters that go with the buffers, and the few
// items the features below the window share (the start folder and the key
// base's saved flag).
//
// Everything here exists once for the whole run and is touched only on the
// GUI thread (handlers, timers and the input handler all run there), so no
// lock guards it. Handlers read and change it directly.
#pragma once

#include "hid/HidCheckout.h"
#include "protocol/JobFlags.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumidra::protocol {

// Byte 0 is the report ID (always sent as 0), bytes 1 to 64 the payload.
inline constexpr std::size_t OutputReportSize = 65;
using OutputReport = std::array<std::uint8_t, OutputReportSize>;

// The board's standing state: LED digits (1, 2), mode and indicator bits (3),
// command byte (4), job request flag (5).
extern OutputReport StateReport;
// Job control: job code (1) and its parameters (2 to 6).
extern OutputReport JobReport;
// The payload that follows a job code. Never cleared: bytes a job does not
// write go out as earlier payloads left them.
extern OutputReport DataReport;

// Command values of StateReport byte 4.
inline constexpr std::uint8_t CommandLightOn = 1;
inline constexpr std::uint8_t CommandHostLeaves = 2;
inline constexpr std::uint8_t CommandLightOff = 5;

// The board's checked-out device object, or empty. Releasing it hands the
// board back (ReleaseAttachedDevice).
extern hid::THidCheckout AttachedDevice;

// The job flags (JobFlags.h).
#define LUMIDRA_DECLARE_FLAG(name, job, holdsStatus) extern bool name;
LUMIDRA_JOB_FLAGS(LUMIDRA_DECLARE_FLAG)
#undef LUMIDRA_DECLARE_FLAG
// Whether a presented key may sound again (it did not since the board last
// reported the key read).
extern bool KeySoundArmed;
// Set once the job in hand has taken its first step (the board acknowledged
// it); cleared by a new request and with the job flags. A job cut off from
// its board ends differently before and after that.
extern bool JobAcknowledged;

// Boards handed back since the start (ReleaseAttachedDevice). A job step that
// lets the loop turn (a modal box) compares it before and after: what the
// step sends afterwards belongs to the board it served, never to one attached
// since.
extern std::uint32_t BoardsHandedBack;

// Offset of the next memory dump block; zeroed with the job flags.
extern std::uint16_t DumpOffset;

// The folder current at start-up: the key sound is looked for there and the
// key base dialogs open there.
extern QString StartFolder;
// True while the key base memo has no unsaved changes.
extern bool KeyBaseSaved;

// Clears the job flags and JobAcknowledged (not KeySoundArmed, which has its
// own place in the detached-state reset).
void ClearJobFlags();

// Hands the board back and counts it (BoardsHandedBack). No-op when no board
// is attached.
void ReleaseAttachedDevice();

// Puts everything back to its state at program start; a board still attached
// is handed back, so its controller must still live.
void ResetProtocolState();

}  // namespace lumidra::protocol
