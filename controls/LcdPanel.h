// The board's graphic LCD: backlight, contrast, command line and text screen.
#pragma once

#include "protocol/InputDecode.h"

namespace lumidra::controls {

// Backlight check box: command byte 1 (ticked) or 5 (cleared) into
// StateReport byte 4; the whole StateReport goes out.
void CheckLightClick(bool ticked);

// Job steps, run by the input handler on the report that reaches them in the
// dispatch order. Entry points only until the LCD command and text jobs land:
// they do nothing yet (and nothing sets their flags yet).
void LcdCommandStep(const protocol::InputReport& Report);
void LcdTextStep(const protocol::InputReport& Report);

}  // namespace lumidra::controls
