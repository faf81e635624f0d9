#include "graphics/ChartRecord.h"

#include <chrono>
#include <optional>

namespace lumidra::graphics {

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TChartRing Recording;
std::optional<std::int64_t> Origin;  // the clock at the first report recorded

}  // namespace

TChartListener* ChartListener = nullptr;
std::function<std::int64_t()> ChartClock = SteadyMs;

const TChartRing& ChartRecording() {
    return Recording;
}

void RecordChartSample(const protocol::TStatusView& status) {
    const std::int64_t now = ChartClock();
    if (!Origin) Origin = now;
    Recording.Push(now - *Origin, status);
    if (ChartListener != nullptr) ChartListener->SampleRecorded();
}

void ResetChartState() {
    Recording.Clear();
    ChartClock = SteadyMs;
    Origin.reset();
}

}  // namespace lumidra::graphics
