#include "app/session/AppState.h"

#include "graphics/ChartRecord.h"
#include "graphics/PlotJob.h"
#include "protocol/ProtocolState.h"
#include "transfers/Transfers.h"

namespace lumidra::app {

bool BoardAttached = false;
std::optional<TCutJob> CutJob;

void ResetAppState() {
    BoardAttached = false;
    CutJob.reset();
}

void ResetRunState() {
    transfers::ResetTransfers();
    graphics::ResetPlotState();
    graphics::ResetChartState();
    ResetAppState();
    protocol::ResetProtocolState();
}

}  // namespace lumidra::app
