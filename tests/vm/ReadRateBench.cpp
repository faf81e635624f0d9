// Input reports per second on a real kernel (inside the VM), on the uhid
// virtual board's node, through three read paths in the same boot:
//   - a plain blocking read() loop: the ceiling;
//   - the Linux platform's overlapped reads (ReadFileEx, alertable SleepEx,
//     GetOverlappedResult), as the reader thread uses them;
//   - the device layer's whole read path: the reader thread of a checked-out
//     device, the synchronised hand-over to the GUI thread, and the status
//     decode of the window's input handler (where the program is built),
//     once with the tests' hand-pumped GUI thread and once, where the program
//     is built, with the program's own: QtGuiThread and Qt's event loop.
// Two ways of feeding them:
//   - "stream": the board sends as fast as the kernel takes them. The kernel
//     drops what no reader takes in time ("lost" counts the running numbers
//     skipped), and on one CPU the rate mostly shows how the scheduler shares
//     it between the board and the reader.
//   - "drain": the board queues 60 reports while the reader does not read
//     (the kernel keeps up to 63 per open node), then the time to take all 60
//     is measured: the read path's own cost, without the board competing.
//   - "paced": the board sends at a fixed rate, as a USB device polled at a
//     fixed interval does (full speed: at most 1000 reports a second, high
//     speed 8000), for a second; what counts is the share each reader took.
// Prints "read-rate:" summary lines at the end.
#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "hid/linux/LinuxHidPlatform.h"
#ifdef LUMIDRA_VM_STATUS_DECODE
#include "protocol/InputDecode.h"
#endif
#include "tests/support/TestGuiThread.h"
#ifdef LUMIDRA_VM_QT_LOOP
#include "app/session/QtGuiThread.h"

#include <QCoreApplication>
#include <QTimer>
#endif
#include "tests/vm/support/BoardProcess.h"
#include "boardmodel/BoardReports.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace lumidra::vmtest {
namespace {

using Clock = std::chrono::steady_clock;

TBoardProcess* Board = nullptr;
std::string Node;

// The last (longest) run of each benchmark.
struct TRate {
    double PerSecond = 0;
    double LostShare = 0;
};
TRate PlainRate, PlatformRate, DeviceRate, ProgramRate;      // stream
TRate PlainDrain, PlatformDrain, DeviceDrain, ProgramDrain;  // drain

// Paced runs, by rate.
std::map<std::int64_t, TRate> PacedPlain, PacedProgram;
constexpr auto PacedTime = std::chrono::seconds(1);

constexpr int DrainBatch = 60;
constexpr int DrainRounds = 50;

// Has the board queue one numbered batch, and waits until it must be there.
void QueueBatch() {
    Board->Command("burst " + std::to_string(DrainBatch) + " 5A");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void FinishDrain(benchmark::State& state, double seconds, std::uint64_t received, std::uint64_t wrong, TRate& rate) {
    state.SetItemsProcessed(static_cast<std::int64_t>(received));
    state.counters["wrong"] = static_cast<double>(wrong);
    if (seconds > 0) rate = {static_cast<double>(received) / seconds, 0};
}

// Counts reports and the running numbers skipped between them.
class TSequenceTracker {
public:
    void Seen(const std::uint8_t* payload) {
        const std::uint32_t s = boardmodel::ReadSequence(std::span<const std::uint8_t, 64>(payload, 64));
        if (first_)
            first_ = false;
        else if (s > last_ + 1)
            lost_ += s - last_ - 1;
        last_ = s;
        ++received_;
    }
    double LostShare() const {
        return received_ + lost_ ? static_cast<double>(lost_) / static_cast<double>(received_ + lost_) : 0.0;
    }
    std::uint64_t Received() const { return received_; }

private:
    bool first_ = true;
    std::uint32_t last_ = 0;
    std::uint64_t lost_ = 0, received_ = 0;
};

// Lets the tail of a stream that ended just before arrive and drops it, so
// that what is read next starts with what was asked for next.
void DropQueued(int fd) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::uint8_t buffer[64];
    for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);)
        if (::read(fd, buffer, sizeof buffer) <= 0) break;
}

// Stops the board's stream and records `count` reports taken in `seconds`.
void FinishStream(benchmark::State& state, double seconds, std::uint64_t count, const TSequenceTracker& tracker,
                  TRate& rate) {
    Board->Command("stop");
    state.SetItemsProcessed(static_cast<std::int64_t>(count));
    state.counters["lost"] = tracker.LostShare();
    if (seconds > 0) rate = {static_cast<double>(count) / seconds, tracker.LostShare()};
}

void Finish(benchmark::State& state, Clock::time_point start, const TSequenceTracker& tracker, TRate& rate) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    FinishStream(state, seconds, state.iterations(), tracker, rate);
}

void BM_PlainRead(benchmark::State& state) {
    const int fd = ::open(Node.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the node");
        return;
    }
    Board->Command("stream 5A");
    std::uint8_t buffer[64];
    TSequenceTracker tracker;
    if (::read(fd, buffer, sizeof buffer) != 64) state.SkipWithError("first read failed");
    const auto start = Clock::now();
    for (auto _ : state) {
        if (::read(fd, buffer, sizeof buffer) != 64) {
            state.SkipWithError("read failed");
            break;
        }
        tracker.Seen(buffer);
    }
    Finish(state, start, tracker, PlainRate);
    ::close(fd);
}

void Completed(std::uint32_t, std::uint32_t, hid::THidOverlapped*) {}

void BM_PlatformRead(benchmark::State& state) {
    hid::LinuxHidPlatform platform;
    const hid::THidHandle h = platform.Open(Node, hid::THidOpenMode::OverlappedRead);
    if (h == hid::InvalidHidHandle) {
        state.SkipWithError("cannot open the node");
        return;
    }
    Board->Command("stream 5A");
    std::uint8_t buffer[65];
    hid::THidOverlapped overlapped{};
    TSequenceTracker tracker;
    auto readOne = [&] {
        if (!platform.ReadFileEx(h, buffer, sizeof buffer, overlapped, Completed)) return false;
        for (int i = 0; i < 50; ++i)
            if (platform.SleepEx(100) == hid::HidWaitIoCompletion) break;
        std::uint32_t n = 0;
        return platform.GetOverlappedResult(h, overlapped, n) && n == 65;
    };
    if (!readOne()) state.SkipWithError("first read failed");
    const auto start = Clock::now();
    for (auto _ : state) {
        if (!readOne()) {
            state.SkipWithError("read failed");
            break;
        }
        tracker.Seen(buffer + 1);
    }
    Finish(state, start, tracker, PlatformRate);
    platform.Close(h);
}

// The hand-pumped GUI thread of the device layer's tests.
class TTestLoop {
public:
    hid::TGuiThread& Gui() { return gui_; }
    template <class Predicate>
    bool RunUntil(Predicate done, std::chrono::milliseconds timeout) {
        return gui_.RunUntil(done, timeout);
    }
    void RunFor(std::chrono::milliseconds duration) { gui_.RunFor(duration); }

private:
    testing::TestGuiThread gui_;
};

#ifdef LUMIDRA_VM_QT_LOOP
// The program's GUI thread: posted calls are queued Qt invocations, run by
// Qt's event dispatcher as the program's exec() loop runs them.
class TQtLoop {
public:
    TQtLoop() { wake_.start(10); }  // so that a wait notices its time limit
    hid::TGuiThread& Gui() { return gui_; }
    template <class Predicate>
    bool RunUntil(Predicate done, std::chrono::milliseconds timeout) {
        const auto end = Clock::now() + timeout;
        while (!done()) {
            if (Clock::now() >= end) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    void RunFor(std::chrono::milliseconds duration) {
        RunUntil([] { return false; }, duration);
    }

private:
    app::QtGuiThread gui_;
    QTimer wake_;
};
#endif

template <class TLoop>
class TDeviceReaderBench {
public:
    bool Attach() {
        controller_ = std::make_unique<hid::THidDeviceController>(nullptr, platform_, loop_.Gui());
        controller_->SetOnDeviceChange(hid::TNotifyEvent::Of<&TDeviceReaderBench::OnChange>(this));
        controller_->SetOnEnumerate(hid::THidEnumerateEvent::Of<&TDeviceReaderBench::OnEnumerate>(this));
        controller_->SetOnDeviceData(hid::THidDataEvent::Of<&TDeviceReaderBench::OnData>(this));
        return loop_.RunUntil([&] { return attached_ != nullptr; }, std::chrono::seconds(10));
    }
    // Repeats a status report until the reader has the node open (reports
    // sent before that are dropped), then starts the stream.
    bool Start() {
        for (int i = 0; i < 100; ++i) {
            Board->Command("status a1=512");
            if (loop_.RunUntil([&] { return count_ > 0; }, std::chrono::milliseconds(100))) break;
        }
        if (count_ == 0) return false;
        Board->Command("stream 5A");
        const std::uint64_t before = count_;
        // Skip what was queued before the stream.
        return loop_.RunUntil([&] { return count_ > before && last_[0] == 0x5A; }, std::chrono::seconds(5));
    }
    bool NextReport() {
        const std::uint64_t before = count_;
        return loop_.RunUntil([&] { return count_ > before; }, std::chrono::seconds(5));
    }
    // Repeats a status report until one arrives, then lets nothing else in
    // flight: the reader is reading.
    bool Primed() {
        for (int i = 0; i < 100 && count_ == 0; ++i) {
            Board->Command("status a1=512");
            loop_.RunUntil([&] { return count_ > 0; }, std::chrono::milliseconds(100));
        }
        loop_.RunFor(std::chrono::milliseconds(100));
        return count_ > 0;
    }
    std::uint64_t Count() const { return count_; }
    void RunFor(std::chrono::milliseconds duration) { loop_.RunFor(duration); }
    bool RunUntilCount(std::uint64_t n) {
        return loop_.RunUntil([&] { return count_ >= n; }, std::chrono::seconds(5));
    }
    void ResetOrder() {
        expected_ = 0;
        inOrder_ = true;
    }
    bool InOrder() const { return inOrder_; }
    ~TDeviceReaderBench() {
        delete attached_;
        controller_.reset();
    }
    TSequenceTracker Tracker;

private:
    void OnChange(hid::TObject*) {
        if (!attached_) controller_->RunEnumeration();
    }
    bool OnEnumerate(hid::THidDevice* device, std::int32_t index) {
        if (device->Identity().VendorID == boardmodel::BoardVendorId && device->SerialString() == u"01.01") {
            controller_->ClaimByIndex(attached_, index);
            return false;
        }
        return true;
    }
    void OnData(hid::THidDevice*, std::uint8_t, const std::uint8_t* data, std::uint16_t size) {
        if (size < 64) return;
#ifdef LUMIDRA_VM_STATUS_DECODE
        // What the window's input handler makes of a status report.
        auto view = protocol::DecodeStatus(data);
        benchmark::DoNotOptimize(view);
#endif
        std::copy(data, data + 64, last_);
        if (data[0] == 0x5A) {
            Tracker.Seen(data);
            inOrder_ &= boardmodel::ReadSequence(std::span<const std::uint8_t, 64>(data, 64)) == expected_++;
        }
        ++count_;
    }

    hid::LinuxHidPlatform platform_;
    TLoop loop_;
    std::unique_ptr<hid::THidDeviceController> controller_;
    hid::THidDevice* attached_ = nullptr;
    std::uint64_t count_ = 0;
    std::uint8_t last_[64] = {};
    std::uint32_t expected_ = 0;
    bool inOrder_ = true;
};

template <class TLoop, TRate& Rate>
void BM_DeviceLayerRead(benchmark::State& state) {
    TDeviceReaderBench<TLoop> bench;
    if (!bench.Attach() || !bench.Start()) {
        state.SkipWithError("the board was not attached or sent nothing");
        Board->Command("stop");
        return;
    }
    const auto start = Clock::now();
    for (auto _ : state) {
        if (!bench.NextReport()) {
            state.SkipWithError("no report");
            break;
        }
    }
    Finish(state, start, bench.Tracker, Rate);
}

// Each drain round checks that it took exactly the batch, in order
// ("wrong" counts rounds that did not), so a batch not yet queued when the
// clock starts cannot pass unnoticed.
void BM_PlainDrain(benchmark::State& state) {
    const int fd = ::open(Node.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the node");
        return;
    }
    std::uint8_t buffer[64];
    DropQueued(fd);
    double seconds = 0;
    std::uint64_t received = 0, wrong = 0;
    for (auto _ : state) {
        QueueBatch();
        const auto start = Clock::now();
        bool inOrder = true;
        for (int i = 0; i < DrainBatch; ++i) {
            if (::read(fd, buffer, sizeof buffer) != 64) {
                state.SkipWithError("read failed");
                break;
            }
            inOrder &= boardmodel::ReadSequence(std::span<const std::uint8_t, 64>(buffer, 64)) == std::uint32_t(i);
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        seconds += s;
        received += DrainBatch;
        wrong += !inOrder;
    }
    FinishDrain(state, seconds, received, wrong, PlainDrain);
    ::close(fd);
}

void BM_PlatformDrain(benchmark::State& state) {
    hid::LinuxHidPlatform platform;
    const hid::THidHandle h = platform.Open(Node, hid::THidOpenMode::OverlappedRead);
    if (h == hid::InvalidHidHandle) {
        state.SkipWithError("cannot open the node");
        return;
    }
    std::uint8_t buffer[65];
    hid::THidOverlapped overlapped{};
    double seconds = 0;
    std::uint64_t received = 0, wrong = 0;
    for (auto _ : state) {
        QueueBatch();
        const auto start = Clock::now();
        bool inOrder = true;
        for (int i = 0; i < DrainBatch; ++i) {
            std::uint32_t n = 0;
            bool ok = platform.ReadFileEx(h, buffer, sizeof buffer, overlapped, Completed);
            for (int k = 0; ok && k < 50; ++k)
                if (platform.SleepEx(100) == hid::HidWaitIoCompletion) break;
            if (!ok || !platform.GetOverlappedResult(h, overlapped, n) || n != 65) {
                state.SkipWithError("read failed");
                break;
            }
            inOrder &= boardmodel::ReadSequence(std::span<const std::uint8_t, 64>(buffer + 1, 64)) == std::uint32_t(i);
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        seconds += s;
        received += DrainBatch;
        wrong += !inOrder;
    }
    FinishDrain(state, seconds, received, wrong, PlatformDrain);
    platform.Close(h);
}

template <class TLoop, TRate& Rate>
void BM_DeviceLayerDrain(benchmark::State& state) {
    TDeviceReaderBench<TLoop> bench;
    if (!bench.Attach() || !bench.Primed()) {
        state.SkipWithError("the board was not attached or sent nothing");
        return;
    }
    double seconds = 0;
    std::uint64_t received = 0, wrong = 0;
    for (auto _ : state) {
        // The GUI thread does not pump meanwhile: the reader holds the first
        // report in its hand-over, the kernel keeps the rest.
        QueueBatch();
        const auto start = Clock::now();
        const std::uint64_t before = bench.Count();
        bench.ResetOrder();
        if (!bench.RunUntilCount(before + DrainBatch)) {
            state.SkipWithError("reports missing");
            break;
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        seconds += s;
        received += DrainBatch;
        wrong += !bench.InOrder();
    }
    FinishDrain(state, seconds, received, wrong, Rate);
}

// The same paced stream through a plain blocking read() loop and through the
// program's pipeline: the share of the board's reports each one took.
void FinishPaced(benchmark::State& state, double seconds, const TSequenceTracker& tracker, TRate& rate) {
    FinishStream(state, seconds, tracker.Received(), tracker, rate);
}

void BM_PlainPaced(benchmark::State& state) {
    const int fd = ::open(Node.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the node");
        return;
    }
    DropQueued(fd);
    std::uint8_t buffer[64];
    TSequenceTracker tracker;
    double seconds = 0;
    for (auto _ : state) {
        Board->Command("pace " + std::to_string(state.range(0)) + " 5A");
        const auto start = Clock::now();
        while (Clock::now() - start < PacedTime) {
            if (::read(fd, buffer, sizeof buffer) != 64) {
                state.SkipWithError("read failed");
                break;
            }
            if (buffer[0] == 0x5A) tracker.Seen(buffer);
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    FinishPaced(state, seconds, tracker, PacedPlain[state.range(0)]);
    ::close(fd);
}

template <class TLoop>
void BM_ProgramPaced(benchmark::State& state) {
    TDeviceReaderBench<TLoop> bench;
    if (!bench.Attach() || !bench.Primed()) {
        state.SkipWithError("the board was not attached or sent nothing");
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        Board->Command("pace " + std::to_string(state.range(0)) + " 5A");
        const auto start = Clock::now();
        bench.RunFor(PacedTime);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    FinishPaced(state, seconds, bench.Tracker, PacedProgram[state.range(0)]);
}

#define STREAM_BENCHMARK(f, name) BENCHMARK(f)->Name(name)->UseRealTime()->Unit(benchmark::kMicrosecond)
#define DRAIN_BENCHMARK(f, name) \
    BENCHMARK(f)->Name(name)->UseManualTime()->Iterations(DrainRounds)->Unit(benchmark::kMicrosecond)
STREAM_BENCHMARK(BM_PlainRead, "stream/plain_read");
STREAM_BENCHMARK(BM_PlatformRead, "stream/platform");
STREAM_BENCHMARK((BM_DeviceLayerRead<TTestLoop, DeviceRate>), "stream/device_layer");
#ifdef LUMIDRA_VM_QT_LOOP
STREAM_BENCHMARK((BM_DeviceLayerRead<TQtLoop, ProgramRate>), "stream/program_qt_loop");
#endif
DRAIN_BENCHMARK(BM_PlainDrain, "drain/plain_read");
DRAIN_BENCHMARK(BM_PlatformDrain, "drain/platform");
DRAIN_BENCHMARK((BM_DeviceLayerDrain<TTestLoop, DeviceDrain>), "drain/device_layer");
#ifdef LUMIDRA_VM_QT_LOOP
DRAIN_BENCHMARK((BM_DeviceLayerDrain<TQtLoop, ProgramDrain>), "drain/program_qt_loop");
#endif
#define PACED_BENCHMARK(f, name) \
    BENCHMARK(f)->Name(name)->Arg(1000)->Arg(8000)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond)
PACED_BENCHMARK(BM_PlainPaced, "paced/plain_read");
#ifdef LUMIDRA_VM_QT_LOOP
PACED_BENCHMARK(BM_ProgramPaced<TQtLoop>, "paced/program_qt_loop");
#else
PACED_BENCHMARK(BM_ProgramPaced<TTestLoop>, "paced/device_layer");
#endif

}  // namespace
}  // namespace lumidra::vmtest

int main(int argc, char** argv) {
    using namespace lumidra::vmtest;
    benchmark::Initialize(&argc, argv);
#ifdef LUMIDRA_VM_QT_LOOP
    QCoreApplication application(argc, argv);
#endif
    if (!UhidAvailable()) {
        std::printf("read-rate: no /dev/uhid, nothing measured (runs inside the VM)\n");
        return 0;
    }
    TBoardProcess board;
    Board = &board;
    Node = board.WaitNode();
    if (Node.empty()) {
        std::fprintf(stderr, "read-rate: the board's node never appeared\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto line = [](const char* what, const TRate& r) {
        std::printf("read-rate: %-34s %9.0f reports/s, %5.1f%% of the stream lost, %.2f of plain read()\n", what,
                    r.PerSecond, 100 * r.LostShare, PlainRate.PerSecond > 0 ? r.PerSecond / PlainRate.PerSecond : 0);
    };
    line("stream, plain read() loop", PlainRate);
    line("stream, platform overlapped reads", PlatformRate);
    line("stream, device layer -> GUI thread", DeviceRate);
#ifdef LUMIDRA_VM_QT_LOOP
    line("stream, program (Qt event loop)", ProgramRate);
#endif
    auto drain = [](const char* what, const TRate& r) {
        std::printf("read-rate: %-34s %9.0f reports/s, %.2f of plain read()\n", what, r.PerSecond,
                    PlainDrain.PerSecond > 0 ? r.PerSecond / PlainDrain.PerSecond : 0);
    };
    drain("drain, plain read() loop", PlainDrain);
    drain("drain, platform overlapped reads", PlatformDrain);
    drain("drain, device layer -> GUI thread", DeviceDrain);
#ifdef LUMIDRA_VM_QT_LOOP
    drain("drain, program (Qt event loop)", ProgramDrain);
#endif
    for (const auto& [perSecond, plain] : PacedPlain) {
        const TRate& program = PacedProgram[perSecond];
        std::printf("read-rate: paced %5lld/s, plain read() loop   %9.0f reports/s, %5.1f%% lost\n",
                    static_cast<long long>(perSecond), plain.PerSecond, 100 * plain.LostShare);
        std::printf("read-rate: paced %5lld/s, %-19s %9.0f reports/s, %5.1f%% lost, %.2f of plain read()\n",
                    static_cast<long long>(perSecond),
#ifdef LUMIDRA_VM_QT_LOOP
                    "program (Qt loop)",
#else
                    "device layer",
#endif
                    program.PerSecond, 100 * program.LostShare,
                    plain.PerSecond > 0 ? program.PerSecond / plain.PerSecond : 0);
    }
#ifndef LUMIDRA_VM_STATUS_DECODE
    std::printf("read-rate: (built without the program: the device layer's figures exclude the status decode)\n");
#endif
    return 0;
}
