#include "graphics/PlotJob.h"

namespace lumidra::graphics {

void PlotStep(const protocol::InputReport&) {}

}  // namespace lumidra::graphics
