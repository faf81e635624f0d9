// The chart's recording: every status report the window shows goes into one
// ring, whether a chart window is open or not, so a chart opened late still
// has the last ten minutes.
#pragma once

#include "graphics/ChartLogic.h"
#include "protocol/InputDecode.h"

#include <cstdint>
#include <functional>

namespace lumidra::graphics {

// What is told of each sample recorded: the chart window, while there is one.
class TChartListener {
public:
    virtual ~TChartListener() = default;
    virtual void SampleRecorded() = 0;
};
extern TChartListener* ChartListener;

// Milliseconds from any fixed start, never going back: the system's steady
// clock until a test sets its own.
extern std::function<std::int64_t()> ChartClock;

// The samples recorded since the run (or the last reset) began.
const TChartRing& ChartRecording();

// Records one decoded status report, at the clock's time less that of the
// first report recorded, and tells the listener.
void RecordChartSample(const protocol::TStatusView& status);

// An empty ring, the steady clock, no first report yet.
void ResetChartState();

}  // namespace lumidra::graphics
