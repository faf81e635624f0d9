// The LCD picture and the splash screen sent to the board.
#pragma once

#include "protocol/InputDecode.h"

namespace lumidra::graphics {

// Job steps, run by the input handler on the report that reaches them in the
// dispatch order. Entry points only until the image and splash-screen jobs
// land: they do nothing yet (and nothing sets their flags yet).
void ImageSendStep(const protocol::InputReport& Report);
void SplashStep(const protocol::InputReport& Report);

}  // namespace lumidra::graphics
