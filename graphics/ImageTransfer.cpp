#include "graphics/ImageTransfer.h"

namespace lumidra::graphics {

void ImageSendStep(const protocol::InputReport&) {}

void SplashStep(const protocol::InputReport&) {}

}  // namespace lumidra::graphics
