// The plot job: points the board sends, painted in the plot window.
#pragma once

#include "protocol/InputDecode.h"

namespace lumidra::graphics {

// Job step, run by the input handler on the report that reaches it in the
// dispatch order. An entry point only until the plot job lands: it does
// nothing yet (and nothing sets its flags yet).
void PlotStep(const protocol::InputReport& Report);

}  // namespace lumidra::graphics
