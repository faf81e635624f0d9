// Status reports through the whole input path of the program: the virtual
// board's reports are read by the device's reader thread, handed to the GUI
// thread and decoded by the real main window's handler into its status
// widgets (offscreen). The benchmark thread is the GUI thread and runs Qt's
// event loop; a feeder thread streams the reports.
//
//   BM_StatusReports             reports/s of a board at rest: channels wander
//                                by a few steps, an input changes now and then
//   BM_StatusReportsAllChanging  reports/s when every report changes every
//                                status widget
//   BM_HeldKeyReports            reports/s of a held key looked up in a base of N keys
#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/Unit1.h"
#include "hid/virtual/VirtualHidBus.h"
#include "bench/QtBench.h"
#include "protocol/ProtocolState.h"
#include "tests/support/Reports.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace lumidra;
using bench::Application;
using bench::RunUntil;

class Window {
public:
    Window() {
        Application();
        app::ResetRunState();
        id = bus.Plug(hid::TVirtualBoard{});
        form = std::make_unique<app::TForm1>(bus, gui);
        form->show();
        RunUntil([] { return app::BoardAttached; });
        // The key sound is not what is measured: the timer holds it off.
        protocol::KeySoundArmed = false;
    }
    ~Window() {
        form.reset();
        app::ResetRunState();
    }

    static std::vector<std::uint8_t> Report(int channel1, int channel2, std::uint8_t inputs, std::uint8_t keyStatus) {
        return testing::AsRead(
            testing::Status(channel1, channel2, inputs, keyStatus, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    }

    // Streams `reports` (the last one marked by channel 1 = 1023) and returns
    // once the handler has taken the last (the reader reads again only then)
    // and the window shows it.
    void Stream(benchmark::State& state, const std::vector<std::vector<std::uint8_t>>& reports) {
        const std::size_t reads = bus.CallCount("ReadFileEx") + reports.size();
        std::thread feeder([&] {
            for (const auto& r : reports) bus.Feed(id, r);
        });
        RunUntil([&] { return bus.CallCount("ReadFileEx") >= reads; });
        feeder.join();
        // A key shown for a single report takes a frame of its own first.
        form->ShowPendingStatus();
        form->ShowPendingStatus();
        if (form->Bar1->value() != 1023) state.SkipWithError("the window does not show the last report");
    }

    hid::VirtualHidBus bus;
    app::QtGuiThread gui;
    std::unique_ptr<app::TForm1> form;
    int id = 0;
};

// What the board sends while it sits on the desk: both channels wander by a
// few steps from report to report, an input changes now and then, no key.
void BM_StatusReports(benchmark::State& state) {
    constexpr int batch = 20000;
    Window window;
    std::vector<std::vector<std::uint8_t>> reports;
    for (int i = 0; i < batch - 1; ++i) {
        reports.push_back(
            Window::Report(500 + (i * 7) % 5, 300 + (i * 3) % 4, static_cast<std::uint8_t>((i / 200) % 16), 0));
    }
    reports.push_back(Window::Report(1023, 0, 0, 0));
    std::int64_t total = 0;
    for (auto _ : state) {
        window.Stream(state, reports);
        total += batch;
    }
    state.counters["reports/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StatusReports)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst case: every report changes both bars and their percentages, all
// four inputs and the key status text.
void BM_StatusReportsAllChanging(benchmark::State& state) {
    constexpr int batch = 20000;
    Window window;
    std::vector<std::vector<std::uint8_t>> reports;
    for (int i = 0; i < batch - 1; ++i) {
        const int swing = (i % 2) ? 0 : 1000;
        reports.push_back(Window::Report(swing + i % 11, 1000 - swing + i % 7,
                                         static_cast<std::uint8_t>(i % 2 ? 0x0F : 0x00), i % 2 ? 0 : 2));
    }
    reports.push_back(Window::Report(1023, 0, 0, 0));
    std::int64_t total = 0;
    for (auto _ : state) {
        window.Stream(state, reports);
        total += batch;
    }
    state.counters["reports/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StatusReportsAllChanging)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HeldKeyReports(benchmark::State& state) {
    const auto keys = static_cast<int>(state.range(0));
    constexpr int batch = 20000;
    Window window;
    QString base;
    for (int k = 0; k < keys; ++k) base += QStringLiteral("%1 key %2\n").arg(k, 16, 16, QLatin1Char('0')).arg(k);
    window.form->MemoKey->setPlainText(base);
    std::vector<std::vector<std::uint8_t>> reports;
    for (int i = 0; i < batch - 1; ++i) reports.push_back(Window::Report(i % 1000, 0, 0, 1));
    reports.push_back(Window::Report(1023, 0, 0, 1));
    std::int64_t total = 0;
    for (auto _ : state) {
        window.Stream(state, reports);
        total += batch;
    }
    state.counters["reports/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
    state.counters["lines"] = window.form->MemoKey->blockCount();
}
BENCHMARK(BM_HeldKeyReports)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
