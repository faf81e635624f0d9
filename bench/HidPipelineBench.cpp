// The input pipeline of a checked-out device: the virtual bus completes a
// read, the reader hands the report to the GUI thread by a synchronised call,
// and a no-op handler runs there. The benchmark thread is the GUI thread and
// pumps its queue.
//
//   BM_PipelineThroughput  reports/s with a feeder thread streaming reports
//   BM_HandOverLatency     time from Feed to handler entry, one report at a time
//   BM_IdleWakeups         alertable waits per second of a device without traffic
#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "hid/virtual/VirtualHidBus.h"
#include "tests/support/TestGuiThread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace lumidra::hid;
using lumidra::testing::TestGuiThread;
using Clock = std::chrono::steady_clock;

class Pipeline {
public:
    explicit Pipeline(std::int32_t sleepTime = 100) {
        id = bus.Plug(TVirtualBoard{});
        controller = std::make_unique<THidDeviceController>(nullptr, bus, gui);
        controller->SetOnDeviceData(THidDataEvent::Of<&Pipeline::Data>(this));
        gui.RunUntil([&] { return !controller->Devices().empty(); });
        controller->Devices()[0]->SetSleepTime(sleepTime);
        controller->ClaimByIndex(device, 0);
    }
    ~Pipeline() { controller.reset(); }

    // The handler: notes its entry time and the report's sequence number.
    void Data(THidDevice*, std::uint8_t, const std::uint8_t* data, std::uint16_t) {
        lastEntry = Clock::now();
        lastSequence = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t(data[3]) << 24);
        ++delivered;
    }

    static std::vector<std::uint8_t> Report(std::uint32_t sequence) {
        std::vector<std::uint8_t> report(65, 0);
        for (int i = 0; i < 4; ++i) report[1 + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
        return report;
    }

    VirtualHidBus bus;
    TestGuiThread gui;
    std::unique_ptr<THidDeviceController> controller;
    THidDevice* device = nullptr;
    int id = 0;
    std::uint64_t delivered = 0;
    std::uint32_t lastSequence = 0;
    Clock::time_point lastEntry;
};

void BM_PipelineThroughput(benchmark::State& state) {
    const auto batch = static_cast<std::uint32_t>(state.range(0));
    Pipeline pipeline;
    std::uint64_t total = 0;
    for (auto _ : state) {
        const std::uint64_t target = pipeline.delivered + batch;
        std::thread feeder([&] {
            for (std::uint32_t i = 0; i < batch; ++i) pipeline.bus.Feed(pipeline.id, Pipeline::Report(i));
        });
        pipeline.gui.RunUntil([&] { return pipeline.delivered >= target; }, std::chrono::seconds(60));
        feeder.join();
        total += batch;
    }
    state.counters["reports/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PipelineThroughput)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HandOverLatency(benchmark::State& state) {
    Pipeline pipeline;
    std::vector<double> latencies;
    latencies.reserve(1 << 16);
    std::uint32_t sequence = 0;
    for (auto _ : state) {
        const std::uint64_t target = pipeline.delivered + 1;
        const auto fed = Clock::now();
        pipeline.bus.Feed(pipeline.id, Pipeline::Report(sequence++));
        pipeline.gui.RunUntil([&] { return pipeline.delivered >= target; }, std::chrono::seconds(5));
        latencies.push_back(std::chrono::duration<double, std::micro>(pipeline.lastEntry - fed).count());
    }
    std::sort(latencies.begin(), latencies.end());
    auto percentile = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[static_cast<std::size_t>(p * (latencies.size() - 1))];
    };
    state.counters["p50_us"] = percentile(0.50);
    state.counters["p99_us"] = percentile(0.99);
    state.counters["reports/s"] =
        benchmark::Counter(static_cast<double>(latencies.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HandOverLatency)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(2.0);

void BM_IdleWakeups(benchmark::State& state) {
    Pipeline pipeline(100);
    double perSecond = 0;
    for (auto _ : state) {
        pipeline.bus.ResetCallCounts();
        const auto start = Clock::now();
        pipeline.gui.RunFor(std::chrono::milliseconds(1000));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        perSecond = static_cast<double>(pipeline.bus.CallCount("SleepEx")) / seconds;
    }
    state.counters["SleepEx/s"] = perSecond;
    state.counters["deliveries"] = static_cast<double>(pipeline.delivered);
}
BENCHMARK(BM_IdleWakeups)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
