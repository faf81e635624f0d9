#include "app/session/JobSteps.h"

#include "controls/LcdPanel.h"
#include "graphics/ImageTransfer.h"
#include "graphics/PlotJob.h"
#include "protocol/ProtocolState.h"
#include "transfers/Transfers.h"

namespace lumidra::app {

using protocol::TInputRoute;

void RunJobStep(TInputRoute route, const protocol::InputReport& report, const TJobInputs& inputs) {
    if (route == TInputRoute::Status || route == TInputRoute::Drop) return;
    protocol::JobAcknowledged = true;
    switch (route) {
        case TInputRoute::Status:
        case TInputRoute::Drop: break;
        case TInputRoute::ImageStep: graphics::ImageSendStep(report, inputs.Picture()); break;
        case TInputRoute::LcdCommandStep: controls::LcdCommandStep(report); break;
        case TInputRoute::SplashStep: graphics::SplashStep(report); break;
        case TInputRoute::LcdTextStep: controls::LcdTextStep(report, inputs.LcdText(), inputs.Wrap()); break;
        case TInputRoute::FlashReadStep: transfers::FlashReadStep(report); break;
        case TInputRoute::FlashEraseStep: transfers::FlashEraseStep(report); break;
        case TInputRoute::FlashWriteStep: transfers::FlashWriteStep(report); break;
        case TInputRoute::PlotStep: graphics::PlotStep(report); break;
        case TInputRoute::DumpStep: transfers::DumpStep(report); break;
    }
}

}  // namespace lumidra::app
