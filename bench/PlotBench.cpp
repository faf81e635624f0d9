// Point reports through the whole plot path: the virtual board's reports are
// read by the reader thread, handed to the GUI thread, and the real main
// window's input handler gives them to the plot step, which paints them into
// the real plot window (offscreen), records them in the plot file and answers
// each with the next request. A feeder thread streams the reports as fast as
// the pipeline takes them (the reader reads the next one only after the
// handler has returned).
//
//   BM_PlotReports   point reports/s while a plot runs, file written
//
// Goal: 5,000 reports/s, five times the board's USB ceiling of one report per
// millisecond.
#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/Unit1.h"
#include "bench/QtBench.h"
#include "graphics/PlotJob.h"
#include "graphics/Unit2.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/ProtocolState.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace lumidra;
using bench::Application;
using bench::RunUntil;

void BM_PlotReports(benchmark::State& state) {
    constexpr int batch = 20000;
    Application();
    app::ResetRunState();
    QTemporaryDir folder;
    hid::VirtualHidBus bus;
    app::QtGuiThread gui;
    const int id = bus.Plug(hid::TVirtualBoard{});
    auto main = std::make_unique<app::TForm1>(bus, gui);
    auto plot = std::make_unique<graphics::TForm2>();
    main->show();
    RunUntil([] { return app::BoardAttached; });
    protocol::StartFolder = folder.path();

    // "Random", and the board's acknowledgement: the plot runs.
    main->RandClick();
    std::vector<std::uint8_t> ack(65, 0);
    ack[7] = 1;
    bus.Feed(id, ack);
    RunUntil([] { return protocol::JobActive; });

    std::mt19937 random(15);
    std::vector<std::vector<std::uint8_t>> reports(batch, std::vector<std::uint8_t>(65, 0));
    for (auto& r : reports) {
        for (std::size_t i = 1; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(random());
    }

    std::int64_t total = 0;
    for (auto _ : state) {
        const std::uint16_t target = static_cast<std::uint16_t>(graphics::PlotCounter + batch);
        std::thread feeder([&] {
            for (const auto& r : reports) bus.Feed(id, r);
        });
        RunUntil([&] { return graphics::PlotCounter == target; });
        feeder.join();
        total += batch;
        state.PauseTiming();
        bus.ClearWritten(id);
        state.ResumeTiming();
    }
    state.counters["reports/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);

    // Stop: the window closes, the board acknowledges, the file is closed.
    plot->close();
    bus.Feed(id, ack);
    RunUntil([] { return !protocol::PlotPending; });
    state.counters["file MB"] = static_cast<double>(QFileInfo(graphics::PlotFile.FileName()).size()) / 1e6;

    plot.reset();
    main.reset();
    app::ResetRunState();
}
BENCHMARK(BM_PlotReports)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
