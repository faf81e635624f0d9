// The board's graphic LCD: backlight, contrast, command line and text screen.
#pragma once

namespace lumidra::controls {

// Backlight check box: command byte 1 (ticked) or 5 (cleared) into
// StateReport byte 4; the whole StateReport goes out.
void CheckLightClick(bool ticked);

}  // namespace lumidra::controls
