// The whole memory dump through the real window against the board model on
// the in-process bus, the board answering at once (no board latency): each
// slot's report goes through the device's reader thread to the window's
// input handler, whose step writes the file and sends the next request.
//
//   BM_WholeDump   one dump (request, acknowledgement, 64 blocks, the end)
//                  per iteration; step_time is the wall time per host step,
//                  step_cpu the CPU time per step of the whole process (GUI
//                  thread and reader), peak_rss the process's peak resident
//                  memory, and rss_growth how much the dumps added to it.
// Before any Qt header: the model has a parameter named like a Qt keyword.
#include "boardmodel/BusBoard.h"

#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/Unit1.h"
#include "bench/QtBench.h"
#include "protocol/ProtocolState.h"
#include "tests/support/ScriptedSeams.h"
#include "transfers/Transfers.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <memory>

namespace {

using namespace lumidra;

using bench::Application;
using bench::RunUntil;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss);  // KiB on Linux
}

class DumpRig {
public:
    DumpRig() {
        Application();
        app::ResetRunState();
        board = std::make_unique<boardmodel::TBusBoard>(bus);
        form = std::make_unique<app::TForm1>(bus, gui);
        form->show();
        ok = RunUntil([] { return app::BoardAttached; }) && RunUntil([&] { return Reads() > 0; });
    }
    ~DumpRig() {
        form.reset();
        board.reset();
        app::ResetRunState();
    }

    std::size_t Reads() const { return bus.CallCount("ReadFileEx"); }

    // One report slot of the board, and the handler's return from it: every
    // step of the dump sends a request or its end before it returns. (The
    // reader's next read starts on its own thread and wakes no loop.)
    bool Step() {
        const std::size_t writes = bus.CallCount("WriteFile");
        if (!board->Step()) return false;
        return RunUntil([&] { return bus.CallCount("WriteFile") > writes; });
    }

    // One whole dump into `file`; the number of host steps it took.
    int Dump(const QString& file) {
        seams.DialogAnswers.push_back(file);
        form->ReadDUMP1->trigger();
        int steps = 0;
        while (board->Model().JobState() != boardmodel::TJobState::Idle && Step()) ++steps;
        return steps;
    }

    testing::ScriptedSeams seams;
    hid::VirtualHidBus bus;
    app::QtGuiThread gui;
    std::unique_ptr<boardmodel::TBusBoard> board;
    std::unique_ptr<app::TForm1> form;
    bool ok = false;
};

void BM_WholeDump(benchmark::State& state) {
    DumpRig rig;
    QTemporaryDir dir;
    if (!rig.ok || !dir.isValid()) {
        state.SkipWithError("no board attached");
        return;
    }
    const QString file = dir.filePath(QStringLiteral("dump.bin"));
    const double rssBefore = PeakRssKiB();
    const double cpuBefore = ProcessCpuSeconds();
    std::int64_t steps = 0;
    for (auto _ : state) {
        const int taken = rig.Dump(file);
        if (taken != 65 || QFile(file).size() != transfers::DumpSize) {
            state.SkipWithError("the dump did not complete");
            return;
        }
        steps += taken;
        rig.seams.Boxes.clear();
    }
    state.counters["step_time"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["step_cpu"] = (ProcessCpuSeconds() - cpuBefore) / static_cast<double>(steps);
    state.counters["peak_rss_KiB"] = PeakRssKiB();
    state.counters["rss_growth_KiB"] = PeakRssKiB() - rssBefore;
}
BENCHMARK(BM_WholeDump)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
