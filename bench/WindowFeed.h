// What the benchmarks that feed the real main window share: a board's
// report slots on the virtual bus, the report that changes every status
// widget, the loop run for a while, and the check that the window shows
// what it was fed.
#pragma once

#include "app/session/QtGuiThread.h"
#include "hid/virtual/VirtualHidBus.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lumidra::app {
class TForm1;
}
namespace lumidra::graphics {
class TChartWindow;
}

namespace lumidra::bench {

// The CPU time the calling thread has used, in seconds.
double ThreadCpuSeconds();

// Lets Qt's loop run for `length`, to the millisecond.
void RunLoopFor(std::chrono::milliseconds length);

// A status report in which every status widget differs from the last one's:
// both bars and percentages, the four inputs, the key status and identifier.
// As the reader takes it: report ID 0, then 64 bytes.
std::vector<std::uint8_t> ChangingStatus(std::uint32_t i);

// What of the status report `fed` (report ID first) the window does not
// show: empty when the bars, the channel texts, the inputs and the key
// status text are what that report means.
std::string Unshown(const app::TForm1& form, const std::vector<std::uint8_t>& fed);

// The board's report slots: `perSecond` reports fed at even deadlines from a
// thread of their own, until stopped; keeps its own CPU time and the last
// report fed.
class TReportSlots {
public:
    using TReport = std::function<std::vector<std::uint8_t>(std::uint32_t)>;

    TReportSlots(hid::VirtualHidBus& bus, int id, int perSecond, TReport report);
    ~TReportSlots() { Stop(); }
    TReportSlots(const TReportSlots&) = delete;
    TReportSlots& operator=(const TReportSlots&) = delete;

    void Stop();
    double CpuSeconds() const { return cpu_; }
    std::uint64_t Fed() const { return fed_; }
    // Read once stopped.
    const std::vector<std::uint8_t>& Last() const { return last_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> fed_{0};
    double cpu_ = 0;
    std::vector<std::uint8_t> last_;
    std::thread thread_;
};

// The main window with every panel shown, on a board of its own on the
// virtual bus, and the chart window beside it, not yet shown. Once made the
// main window is shown and, when Attached, has the board, the key sound held
// off; the windows go before the bus.
class TAllPanelsWindow {
public:
    TAllPanelsWindow();
    ~TAllPanelsWindow();
    TAllPanelsWindow(const TAllPanelsWindow&) = delete;
    TAllPanelsWindow& operator=(const TAllPanelsWindow&) = delete;

    hid::VirtualHidBus Bus;
    const int Id;
    app::QtGuiThread Gui;
    std::unique_ptr<app::TForm1> Main;
    std::unique_ptr<graphics::TChartWindow> Chart;
    bool Attached = false;
};

}  // namespace lumidra::bench
