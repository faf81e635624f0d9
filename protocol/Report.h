// Sending an output report buffer to the board.
#pragma once

#include "protocol/ProtocolState.h"

namespace lumidra::protocol {

// Writes a copy of `buffer`, byte 0 forced to 0, to AttachedDevice as one
// 65-byte output report (and to the report trace, when one is kept). The buffer itself is left as it is. With no board
// attached nothing happens; a failed write is dropped silently, because the
// board's state is resent whole by the next send anyway.
void SendReport(const OutputReport& buffer);

// StateReport byte 5: a job is requested (1) or not (0).
inline constexpr int JobRequestByte = 5;

// Asks the board for the job whose flag the starter has raised: byte 5 = 1,
// StateReport sent.
void RequestJob();

// A job's last report: byte 5 = 0, StateReport sent. (The jobs that end with
// JobReport code 0 instead only clear the byte.)
void EndJobRequest();

// The end of a run with a board: tells the board the host leaves (command
// byte 2), gives it time to act, then hands it back. Nothing without a board.
void TellHostLeaves();

}  // namespace lumidra::protocol
