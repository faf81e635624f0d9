// Sending an output report buffer to the board.
#pragma once

#include "protocol/ProtocolState.h"

namespace lumidra::protocol {

// Writes a copy of `buffer`, byte 0 forced to 0, to AttachedDevice as one
// 65-byte output report. The buffer itself is left as it is. With no board
// attached nothing happens; a failed write is dropped silently, because the
// board's state is resent whole by the next send anyway.
void SendReport(const OutputReport& buffer);

}  // namespace lumidra::protocol
