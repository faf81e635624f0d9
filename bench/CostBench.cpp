// What running costs the machine, each figure as a ratio to its goal (below 1
// meets it). The real windows run on Qt's event loop on whatever platform
// QT_QPA_PLATFORM names (offscreen unless set; tools/run-cost.sh also runs
// them under Xvfb). Runs last LUMIDRA_COST_SECONDS each (default 60).
//
// Every CPU figure is taken with the reports flowing and shown: at its end a
// benchmark checks that the window shows what the last report fed means and
// that no report was left unread, and fails otherwise. Beside it, in the
// same process and run, the floor: the same stream through the device layer
// and the input decode with no window at all. Each figure is printed as a
// share of a core (cpu_%), beside the floor's (floor_%), as a ratio to it
// (x_floor) and as the difference (above_floor_%).
//
//   BM_BoardAttached/status/100   the window as it starts, 100 status reports
//                                 a second, every status widget changing:
//                                 at most 0.5 % of a core above the floor
//   BM_BoardAttached/plot/100     a plot running (acknowledged), its window
//                                 painting every report's 32 points: < 1 %
//   BM_BoardAttached/panels/1000  1,000 status reports a second, every panel
//                                 shown (--all-panels): at most 1.5 x the
//                                 floor; display_us/report is what the window
//                                 adds to each report (goal: 2 us)
//   BM_ChartCost                  1,000 status reports a second, every
//                                 panel shown, measured twice: the chart
//                                 window hidden, then open on its 1-minute
//                                 span: at most 3 % of a core more
//   BM_FramePaint                 a paint of the whole window (every panel)
//                                 after a status report changed it: median
//                                 under 4 ms
//   BM_ChartPaint                 the chart's paint of the 10-minute span
//                                 with its 600,000 samples: < 8 ms a paint
//   BM_NoBoardWakeups             no board (the system's own HID platform),
//                                 once the start is over: wake-ups of each
//                                 thread a second, and timer events by
//                                 receiver; goal: nothing but the clock wakes
//                                 it, and nothing more often than once a second
//   BM_Rescan200/unchanged        a re-scan with 200 HID interfaces present
//   BM_Rescan200/arrival          the same when one of them has just arrived
//                                 (the window then enumerates all): < 20 ms
//
// The model's report thread is part of the process but not of the program:
// its own CPU time is taken off.
#include "app/AllPanels.h"
#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/Unit1.h"
#include "bench/QtBench.h"
#include "bench/WindowFeed.h"
#include "desktop/CursorBlinkRest.h"
#include "graphics/ChartWindow.h"
#include "graphics/PlotJob.h"
#include "graphics/Unit2.h"
#include "hid/HidDeviceController.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/InputDecode.h"
#include "protocol/ProtocolState.h"
#include "tests/support/PaintCounter.h"
#include "tests/support/Reports.h"

#if defined(__linux__)
#include "hid/linux/LinuxHidPlatform.h"
#endif

#include <QComboBox>
#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace lumidra;
using Clock = std::chrono::steady_clock;
using bench::ChangingStatus;
using bench::RunLoopFor;
using bench::TReportSlots;
using bench::Unshown;

std::chrono::milliseconds RunLength() {
    const char* text = std::getenv("LUMIDRA_COST_SECONDS");
    const double seconds = text ? std::atof(text) : 60.0;
    return std::chrono::milliseconds(static_cast<long long>((seconds > 0 ? seconds : 60.0) * 1000));
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

enum class TLoad { Status, Plot, Panels };

// The program's share of a core over one run of `perSecond` reports a second.
struct TShare {
    double Share = 0;
    double Wall = 0;
    std::uint64_t Fed = 0;
    std::size_t Left = 0;                  // reports the reader had not taken
    std::vector<std::uint8_t> LastReport;  // as fed: report ID, then 64 bytes
};
TShare MeasureShare(hid::VirtualHidBus& bus, int id, int perSecond,
                    const std::function<std::vector<std::uint8_t>(std::uint32_t)>& report) {
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    TReportSlots feeder(bus, id, perSecond, report);
    RunLoopFor(RunLength());
    feeder.Stop();
    TShare result;
    result.Wall = std::chrono::duration<double>(Clock::now() - start).count();
    result.Share = (ProcessCpuSeconds() - cpuBefore - feeder.CpuSeconds()) / result.Wall;
    result.Fed = feeder.Fed();
    result.LastReport = feeder.Last();
    // What is still on its way is read, and a frame's display shown, before
    // the window is checked.
    bench::RunUntil([&] { return bus.PendingInput(id) == 0; });
    RunLoopFor(std::chrono::milliseconds(100));
    result.Left = bus.PendingInput(id);
    return result;
}

// The floor: the same stream through the device layer (reader thread, the
// hand-over to the GUI thread) and the input decode, with no window.
class TFloor {
public:
    TFloor() {
        id_ = bus_.Plug(hid::TVirtualBoard{});
        controller_ = std::make_unique<hid::THidDeviceController>(nullptr, bus_, gui_);
        controller_->SetOnDeviceData(hid::THidDataEvent::Of<&TFloor::Data>(this));
        bench::RunUntil([&] { return !controller_->Devices().empty(); });
        controller_->ClaimByIndex(device_, 0);
    }

    // The floor's share at `perSecond` reports; a report not decoded is an
    // error of the benchmark.
    TShare Measure(benchmark::State& state, int perSecond) {
        const TShare run = MeasureShare(bus_, id_, perSecond, ChangingStatus);
        if (decoded_ != run.Fed || run.Left != 0) state.SkipWithError("the floor left reports undecoded");
        decoded_ = 0;
        return run;
    }

private:
    void Data(hid::THidDevice*, std::uint8_t, const std::uint8_t* data, std::uint16_t size) {
        const protocol::InputReport report = protocol::CopyInputReport(data, size);
        const auto route = protocol::DecideInputRoute(report[protocol::InputJobAck], protocol::CurrentJobFlags());
        if (route == protocol::TInputRoute::Status) benchmark::DoNotOptimize(protocol::DecodeStatus(report.data()));
        ++decoded_;
    }

    hid::VirtualHidBus bus_;
    app::QtGuiThread gui_;
    std::unique_ptr<hid::THidDeviceController> controller_;
    hid::THidDevice* device_ = nullptr;
    int id_ = 0;
    std::uint64_t decoded_ = 0;
};

TShare MeasureFloor(benchmark::State& state, int perSecond) {
    TFloor floor;
    return floor.Measure(state, perSecond);
}

// The run's figures beside the floor's; fails the benchmark when a report
// was left unread.
void Report(benchmark::State& state, const TShare& run, const TShare& floor, int perSecond) {
    state.counters["cpu_%"] = 100 * run.Share;
    state.counters["floor_%"] = 100 * floor.Share;
    state.counters["x_floor"] = run.Share / floor.Share;
    state.counters["above_floor_%"] = 100 * (run.Share - floor.Share);
    state.counters["display_us/report"] = 1e6 * (run.Share - floor.Share) / perSecond;
    state.counters["reports"] = static_cast<double>(run.Fed);
    state.counters["unread"] = static_cast<double>(run.Left);
    if (run.Left != 0) state.SkipWithError("reports were left unread");
}

void BM_BoardAttached(benchmark::State& state, TLoad load, int perSecond) {
    bench::Application();
    app::ResetRunState();
    QTemporaryDir folder;
    const TShare floor = MeasureFloor(state, perSecond);
    hid::VirtualHidBus bus;
    const int id = bus.Plug(hid::TVirtualBoard{});
    {
        app::QtGuiThread gui;
        auto main = std::make_unique<app::TForm1>(bus, gui);
        if (load == TLoad::Panels) app::ShowAllPanels(*main);
        std::unique_ptr<graphics::TForm2> plot;
        main->show();
        bench::RunUntil([] { return app::BoardAttached; });
        protocol::KeySoundArmed = false;
        protocol::StartFolder = folder.path();
        std::function<std::vector<std::uint8_t>(std::uint32_t)> report = ChangingStatus;
        if (load == TLoad::Plot) {
            // "Random", and the board's acknowledgement: the plot runs and
            // every report paints 32 points. Only here is the plot window
            // shown: elsewhere its plot, never acknowledged, would hold every
            // status report back.
            plot = std::make_unique<graphics::TForm2>();
            main->RandClick();
            std::vector<std::uint8_t> ack(65, 0);
            ack[7] = 1;
            bus.Feed(id, ack);
            bench::RunUntil([] { return protocol::JobActive; });
            report = [random = std::make_shared<std::mt19937>(15)](std::uint32_t) {
                std::vector<std::uint8_t> r(65, 0);
                for (std::size_t i = 1; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>((*random)());
                return r;
            };
        }
        RunLoopFor(std::chrono::milliseconds(500));  // settles: first paints done

        TShare run;
        const std::uint16_t stepsBefore = graphics::PlotCounter;
        for (auto _ : state) {
            run = MeasureShare(bus, id, perSecond, report);
            state.SetIterationTime(run.Wall);
        }
        Report(state, run, floor, perSecond);
        if (load == TLoad::Plot) {
            // Each report was a step of the plot.
            const auto steps = static_cast<std::uint16_t>(graphics::PlotCounter - stepsBefore);
            state.counters["plot_steps"] = steps;
            if (steps != static_cast<std::uint16_t>(run.Fed)) state.SkipWithError("a plot report was not plotted");
            state.counters["goal_ratio"] = run.Share / 0.01;
        } else {
            if (const std::string wrong = Unshown(*main, run.LastReport); !wrong.empty())
                state.SkipWithError(("the window does not show the last report:" + wrong).c_str());
            state.counters["goal_ratio"] =
                load == TLoad::Panels ? run.Share / (1.5 * floor.Share) : (run.Share - floor.Share) / 0.005;
        }
        if (load == TLoad::Plot) {
            plot->close();
            std::vector<std::uint8_t> ack(65, 0);
            ack[7] = 1;
            bus.Feed(id, ack);
            bench::RunUntil([] { return !protocol::PlotPending; });
        }
        plot.reset();
        main.reset();
    }
    app::ResetRunState();
}
BENCHMARK_CAPTURE(BM_BoardAttached, status / 100, TLoad::Status, 100)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_BoardAttached, plot / 100, TLoad::Plot, 100)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_BoardAttached, panels / 1000, TLoad::Panels, 1000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// Every panel at 1,000 status reports a second, the chart window hidden and
// then open on its 1-minute span, in one process: the difference of the two.
void BM_ChartCost(benchmark::State& state) {
    constexpr int perSecond = 1000;
    constexpr double goal = 0.03;
    bench::Application();
    app::ResetRunState();
    const TShare floor = MeasureFloor(state, perSecond);
    {
        bench::TAllPanelsWindow window;
        hid::VirtualHidBus& bus = window.Bus;
        const int id = window.Id;
        const auto& main = window.Main;
        const auto& chart = window.Chart;
        testing::TPaintCounter paints(*chart->Plot);
        RunLoopFor(std::chrono::milliseconds(500));
        TShare hidden, open;
        for (auto _ : state) {
            hidden = MeasureShare(bus, id, perSecond, ChangingStatus);
            chart->show();
            RunLoopFor(std::chrono::milliseconds(500));
            paints.Count = 0;
            open = MeasureShare(bus, id, perSecond, ChangingStatus);
            chart->hide();
            state.SetIterationTime(hidden.Wall + open.Wall);
        }
        Report(state, open, floor, perSecond);
        if (const std::string wrong = Unshown(*main, open.LastReport); !wrong.empty())
            state.SkipWithError(("the window does not show the last report:" + wrong).c_str());
        state.counters["cpu_%_chart_hidden"] = 100 * hidden.Share;
        state.counters["cpu_%_chart_open"] = 100 * open.Share;
        state.counters["open-hidden_%"] = 100 * (open.Share - hidden.Share);
        state.counters["goal_ratio"] = (open.Share - hidden.Share) / goal;
        state.counters["chart_paints/s"] = paints.Count / open.Wall;
    }
    app::ResetRunState();
}
BENCHMARK(BM_ChartCost)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A paint of the whole window, every panel shown, after each of a run of
// status reports handed to its input handler: the frame a change costs.
void BM_FramePaint(benchmark::State& state) {
    constexpr double goalMs = 4;
    bench::Application();
    app::ResetRunState();
    hid::VirtualHidBus bus;
    bus.Plug(hid::TVirtualBoard{});
    {
        app::QtGuiThread gui;
        auto main = std::make_unique<app::TForm1>(bus, gui);
        app::ShowAllPanels(*main);
        main->show();
        bench::RunUntil([] { return app::BoardAttached; });
        protocol::KeySoundArmed = false;
        RunLoopFor(std::chrono::milliseconds(500));
        // Rendered into an image of its own: a paint of the window on screen
        // would go through its frame pacer and be held back.
        QImage frame(main->size(), QImage::Format_ARGB32_Premultiplied);
        std::vector<double> times;
        std::uint32_t i = 0;
        for (auto _ : state) {
            const std::vector<std::uint8_t> report = ChangingStatus(i++);
            main->HidDeviceController1DeviceData(nullptr, 0, report.data() + 1, protocol::InputReportSize);
            main->ShowPendingStatus();
            const auto start = Clock::now();
            main->render(&frame);
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            times.push_back(seconds);
            state.SetIterationTime(seconds);
        }
        std::sort(times.begin(), times.end());
        const double median = times.empty() ? 0 : times[times.size() / 2];
        state.counters["median_ms"] = 1000 * median;
        state.counters["worst_ms"] = 1000 * (times.empty() ? 0 : times.back());
        state.counters["goal_ratio"] = 1000 * median / goalMs;
        main.reset();
    }
    app::ResetRunState();
}
BENCHMARK(BM_FramePaint)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

// Ten minutes at the board's full rate: both channels moving, the inputs
// changing every few seconds, a key presented every 6 s.
void FillChart() {
    std::int64_t now = 0;
    graphics::ChartClock = [&now] { return now; };
    protocol::TStatusView status;
    for (std::uint32_t i = 0; i < graphics::ChartCapacity; ++i, ++now) {
        status.Channel1 = static_cast<int>(512 + 400 * std::sin(i / 3000.0) + (i * 7919) % 64);
        status.Channel2 = static_cast<int>((i / 7) % 1024);
        for (int bit = 0; bit < 4; ++bit) status.Inputs[bit] = (i >> (11 + bit)) & 1;
        status.KeyId.reset();
        if (i % 6000 < 2000) status.KeyId = "0123456789ABCDE" + std::to_string(i / 6000 % 10);
        graphics::RecordChartSample(status);
    }
    graphics::ChartClock = [] { return std::int64_t{0}; };
}

void BM_ChartPaint(benchmark::State& state) {
    constexpr double goalMs = 8;
    bench::Application();
    app::ResetRunState();
    FillChart();
    {
        graphics::TChartWindow chart;
        chart.resize(1280, 600);
        chart.Span->setCurrentIndex(2);
        chart.show();
        bench::RunUntil([&] { return chart.isVisible(); });
        QCoreApplication::processEvents();
        std::vector<double> times;
        for (auto _ : state) {
            const auto start = Clock::now();
            chart.Plot->repaint();
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            times.push_back(seconds);
            state.SetIterationTime(seconds);
        }
        std::sort(times.begin(), times.end());
        const double median = times.empty() ? 0 : times[times.size() / 2];
        state.counters["samples"] = static_cast<double>(graphics::ChartRecording().Size());
        state.counters["columns"] = chart.Plot->width();
        state.counters["median_ms"] = 1000 * median;
        state.counters["worst_ms"] = 1000 * (times.empty() ? 0 : times.back());
        state.counters["goal_ratio"] = 1000 * median / goalMs;
    }
    app::ResetRunState();
}
BENCHMARK(BM_ChartPaint)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// Counts the timer events the GUI thread delivers, by receiver, so that a
// wake-up too many can be told by name.
class TTimerCounter final : public QObject {
public:
    TTimerCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~TTimerCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    std::map<std::string, long> ByReceiver;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            std::string name = watched->metaObject()->className();
            if (!watched->objectName().isEmpty()) name += "/" + watched->objectName().toStdString();
            if (watched->parent() && !watched->parent()->objectName().isEmpty())
                name += " in " + watched->parent()->objectName().toStdString();
            ++ByReceiver[name];
        }
        return false;
    }
};

#if defined(__linux__)
// Context switches a thread has made (voluntary: it slept and was woken;
// involuntary: preempted), by thread id, with the thread's name.
struct TThreadSwitches {
    std::string Name;
    long long Switches = 0;
};

std::map<std::string, TThreadSwitches> ThreadSwitches() {
    std::map<std::string, TThreadSwitches> result;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        TThreadSwitches t;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0) t.Name = line.substr(line.find_first_not_of(" \t", 5));
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) t.Switches = std::atoll(line.c_str() + 24);
        }
        result[task.path().filename().string()] = t;
    }
    return result;
}

void BM_NoBoardWakeups(benchmark::State& state) {
    bench::Application();
    app::ResetRunState();
    hid::LinuxHidPlatform platform;
    {
        app::QtGuiThread gui;
        auto main = std::make_unique<app::TForm1>(platform, gui);
        main->show();
        // The start-up re-scan, the first paints, and the text cursor's blinking
        // until it rests.
        RunLoopFor(std::chrono::milliseconds(desktop::TCursorBlinkRest::RestMs + 1500));
        double worst = 0, busiestSource = 0;
        std::string worstName;
        for (auto _ : state) {
            TTimerCounter timers;
            const auto before = ThreadSwitches();
            const auto start = Clock::now();
            RunLoopFor(RunLength());
            const double wall = std::chrono::duration<double>(Clock::now() - start).count();
            const auto after = ThreadSwitches();
            // The benchmark's own thread is the GUI thread: every thread here
            // is the program's.
            for (const auto& [tid, t] : after) {
                const auto was = before.find(tid);
                const long long woken = t.Switches - (was == before.end() ? 0 : was->second.Switches);
                const double perSecond = static_cast<double>(woken) / wall;
                state.counters["wakes/s " + t.Name + " " + tid] = perSecond;
                if (perSecond > worst) {
                    worst = perSecond;
                    worstName = t.Name;
                }
            }
            for (const auto& [receiver, count] : timers.ByReceiver) {
                const double perSecond = static_cast<double>(count) / wall;
                state.counters["timers/s " + receiver] = perSecond;
                if (receiver.find("benchmark's end") == std::string::npos &&
                    receiver.find("Timer1 in TForm1") == std::string::npos)
                    busiestSource = std::max(busiestSource, perSecond);
            }
            state.SetIterationTime(wall);
        }
        state.counters["worst_wakes/s"] = worst;
        // The goal: nothing wakes the program more often than its clock does,
        // once a second.
        state.counters["busiest_other_timer/s"] = busiestSource;
        state.counters["goal_ratio"] = busiestSource / 1.0;
        state.SetLabel("busiest thread: " + worstName);
        main.reset();
    }
    app::ResetRunState();
}
BENCHMARK(BM_NoBoardWakeups)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
#endif

// 200 interfaces: the board and 199 others (other products, and decoys with
// the board's identity but another serial number).
hid::TVirtualBoard Interface(int i) {
    hid::TVirtualBoard board;
    if (i == 0) return board;
    if (i % 2)
        board.ProductID = static_cast<std::uint16_t>(0x1000 + i);
    else
        board.Serial = u"02." + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
    return board;
}

void BM_Rescan200(benchmark::State& state, bool arrival) {
    bench::Application();
    app::ResetRunState();
    hid::VirtualHidBus bus;
    for (int i = 0; i < 199; ++i) bus.Plug(Interface(i));
    {
        app::QtGuiThread gui;
        auto main = std::make_unique<app::TForm1>(bus, gui);
        main->show();
        bench::RunUntil([] { return app::BoardAttached; });
        RunLoopFor(std::chrono::milliseconds(200));
        int last = arrival ? 0 : bus.Plug(Interface(199));
        if (!arrival) main->HidDeviceController1->DeviceChange();
        std::vector<double> times;
        for (auto _ : state) {
            if (arrival) {
                state.PauseTiming();
                if (last) bus.Unplug(last);
                main->HidDeviceController1->DeviceChange();
                last = bus.Plug(Interface(199));
                state.ResumeTiming();
            }
            const auto start = Clock::now();
            main->HidDeviceController1->DeviceChange();
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            times.push_back(seconds);
            state.SetIterationTime(seconds);
        }
        std::sort(times.begin(), times.end());
        const double worst = times.empty() ? 0 : times.back();
        const double median = times.empty() ? 0 : times[times.size() / 2];
        state.counters["interfaces"] = static_cast<double>(main->HidDeviceController1->Devices().size());
        state.counters["median_ms"] = 1000 * median;
        state.counters["worst_ms"] = 1000 * worst;
        state.counters["goal_ratio"] = worst / 0.020;
        main.reset();
    }
    app::ResetRunState();
}
BENCHMARK_CAPTURE(BM_Rescan200, unchanged, false)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rescan200, arrival, true)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The application object lives in a function's static, and the X11
    // platform does not survive being torn down among the other statics at
    // exit: what was measured is out, the process ends here.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}
