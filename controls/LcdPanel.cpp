#include "controls/LcdPanel.h"

#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

namespace lumidra::controls {

using namespace protocol;

void CheckLightClick(bool ticked) {
    StateReport[4] = ticked ? CommandLightOn : CommandLightOff;
    SendReport(StateReport);
}

void LcdCommandStep(const InputReport&) {}

void LcdTextStep(const InputReport&) {}

}  // namespace lumidra::controls
