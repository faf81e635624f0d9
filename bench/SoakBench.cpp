// The window's memory over a long run. The main window with every panel
// shown and the chart open on its longest span is fed 1,000 changing status
// reports a second through the virtual bus, with a text trace of every report
// to a file (in TMPDIR, removed at the end). At the start and at each third
// of the run it prints the resident memory (RSS), the open descriptors and
// the trace's size.
//
// The chart keeps the last ten minutes of reports, so its memory grows for
// ten minutes and then nothing should: from the first third on, RSS stays
// within 2 MB of its value there, beyond what the chart's ring still had to
// take then (nothing in a run of 30 minutes or more; a shorter run, for a
// quick check, allows for the ring's growth). At its end the benchmark proves
// what it measured: the window shows the last report fed, no report was left
// unread, no more descriptors are open than at the start, and the trace holds
// every report fed, the last one as it was fed.
//
// Usage: soak_bench [MINUTES]   (default 30; a fraction for a quick check)
// Exit status: 0 when all of that holds, 1 when it does not, 2 for a usage
// error. Linux only (it reads /proc/self).
#include "app/session/AppState.h"
#include "app/Unit1.h"
#include "bench/QtBench.h"
#include "bench/WindowFeed.h"
#include "graphics/ChartRecord.h"
#include "graphics/ChartWindow.h"
#include "protocol/ProtocolState.h"
#include "protocol/Trace.h"

#include <QComboBox>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace lumidra;
using Clock = std::chrono::steady_clock;

constexpr int ReportsPerSecond = 1000;
constexpr double RssAllowanceBytes = 2e6;
// What a sample of the chart takes once its page is touched: the sample and
// its key's slot.
constexpr double ChartSampleBytes = sizeof(graphics::TChartSample) + sizeof(graphics::TKeyId);

std::optional<double> MinutesArgument(int argc, char** argv) {
    if (argc == 1) return 30.0;
    if (argc != 2) return std::nullopt;
    char* end = nullptr;
    const double minutes = std::strtod(argv[1], &end);
    if (end == argv[1] || *end != '\0' || !(minutes > 0) || minutes > 24 * 60) return std::nullopt;
    return minutes;
}

long long ResidentBytes() {
    long long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count - 1;  // the listing's own
}

struct TSample {
    double Minutes = 0;
    long long Rss = 0;
    int Descriptors = 0;
    std::uintmax_t TraceBytes = 0;
    std::uint64_t Fed = 0;
    std::size_t ChartSamples = 0;
};

TSample Take(double minutes, const std::string& trace, std::uint64_t fed) {
    TSample s;
    s.Minutes = minutes;
    s.Rss = ResidentBytes();
    s.Descriptors = OpenDescriptors();
    s.TraceBytes = std::filesystem::file_size(trace);
    s.Fed = fed;
    s.ChartSamples = graphics::ChartRecording().Size();
    std::printf(
        "soak: %6.2f min  rss %8.2f MB  descriptors %3d  trace %9.2f MB  reports fed %9llu  chart %6zu "
        "samples\n",
        s.Minutes, static_cast<double>(s.Rss) / 1e6, s.Descriptors, static_cast<double>(s.TraceBytes) / 1e6,
        static_cast<unsigned long long>(s.Fed), s.ChartSamples);
    std::fflush(stdout);
    return s;
}

// The trace's input lines: how many, and whether the last is `last` (as the
// reader took it: report ID first).
struct TTraceInputs {
    std::uint64_t Lines = 0;
    bool LastAsFed = false;
};

TTraceInputs ReadTraceInputs(const std::string& trace, const std::vector<std::uint8_t>& last) {
    // A line without its time: " in " and the payload's bytes.
    std::string expected = protocol::TraceLine(0, false, std::span(last).subspan(1));
    expected.erase(0, 1);
    expected.pop_back();
    TTraceInputs inputs;
    std::string lastIn;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        const std::size_t time = line.find(' ');
        if (time == std::string::npos || line.compare(time, 4, " in ") != 0) continue;
        ++inputs.Lines;
        lastIn = line.substr(time);
    }
    inputs.LastAsFed = lastIn == expected;
    return inputs;
}

int Soak(double minutes) {
    bench::Application();
    app::ResetRunState();
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "soak: no temporary folder for the trace\n");
        return 1;
    }
    const std::string traceName = folder.filePath(QStringLiteral("soak-trace.txt")).toStdString();
    protocol::StartFolder = folder.path();
    protocol::TTraceFile trace;
    bool traceFailed = false;
    if (!trace.Open(traceName, "lumidra", [&traceFailed](const protocol::TTraceFailure&) { traceFailed = true; })) {
        std::fprintf(stderr, "soak: cannot write the trace %s\n", traceName.c_str());
        return 1;
    }
    bench::TAllPanelsWindow window;
    if (!window.Attached) {
        std::fprintf(stderr, "soak: the window did not attach the board\n");
        return 1;
    }
    hid::VirtualHidBus& bus = window.Bus;
    const int id = window.Id;
    window.Chart->Span->setCurrentIndex(static_cast<int>(graphics::ChartSpansMs.size()) - 1);
    window.Chart->show();
    bench::RunLoopFor(std::chrono::milliseconds(500));  // the first paints

    const auto length = std::chrono::duration<double, std::ratio<60>>(minutes);
    std::vector<TSample> samples;
    bus.ClearWritten(id);  // the bus's own record of what the window sent
    samples.push_back(Take(0, traceName, 0));
    const auto start = Clock::now();
    bench::TReportSlots feeder(bus, id, ReportsPerSecond, bench::ChangingStatus);
    for (int third = 1; third <= 3; ++third) {
        const auto due = start + std::chrono::duration_cast<Clock::duration>(length * third / 3);
        bench::RunLoopFor(std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()));
        bus.ClearWritten(id);
        samples.push_back(
            Take(std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count(), traceName, feeder.Fed()));
    }
    feeder.Stop();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    // What is still on its way is read, and its frame shown, before the
    // window is checked.
    bench::RunUntil([&] { return bus.PendingInput(id) == 0; });
    bench::RunLoopFor(std::chrono::milliseconds(100));

    bool held = true;
    const auto verdict = [&held](bool ok, const std::string& what) {
        std::printf("soak: %s %s\n", ok ? "ok    " : "FAILED", what.c_str());
        held = held && ok;
    };
    const std::uint64_t fed = feeder.Fed();
    std::printf("soak: %llu reports in %.1f s: %.1f a second\n", static_cast<unsigned long long>(fed), wall,
                static_cast<double>(fed) / wall);
    // Once the chart's span is full its ring takes nothing more; before, each
    // sample it took touched its memory.
    const TSample& reference = samples[1];
    double worst = 0;
    for (std::size_t i = 2; i < samples.size(); ++i) {
        const double ring = static_cast<double>(samples[i].ChartSamples - reference.ChartSamples) * ChartSampleBytes;
        worst = std::max(worst, std::abs(static_cast<double>(samples[i].Rss - reference.Rss) - ring));
    }
    const double ring = static_cast<double>(samples.back().ChartSamples - reference.ChartSamples) * ChartSampleBytes;
    char line[240];
    std::snprintf(line, sizeof line,
                  "RSS from %.2f min on within 2 MB of its value there (%.2f MB), beyond the %.2f MB the chart's "
                  "ring still took: at most %.3f MB off",
                  reference.Minutes, static_cast<double>(reference.Rss) / 1e6, ring / 1e6, worst / 1e6);
    verdict(worst <= RssAllowanceBytes, line);
    const int descriptors = std::max_element(samples.begin(), samples.end(), [](const TSample& a, const TSample& b) {
                                return a.Descriptors < b.Descriptors;
                            })->Descriptors;
    verdict(descriptors <= samples.front().Descriptors, "no more descriptors open than at the start");
    verdict(fed >= static_cast<std::uint64_t>(0.9 * ReportsPerSecond * wall), "reports fed at the board's rate");
    verdict(bus.PendingInput(id) == 0, "no report left unread");
    const std::string unshown = bench::Unshown(*window.Main, feeder.Last());
    verdict(unshown.empty(), "the window shows the last report fed" + (unshown.empty() ? "" : ":" + unshown));
    verdict(!traceFailed, "every trace write succeeded");
    const TTraceInputs inputs = ReadTraceInputs(traceName, feeder.Last());
    verdict(inputs.Lines == fed, "the trace holds every report fed (" + std::to_string(inputs.Lines) + " lines in)");
    verdict(inputs.LastAsFed, "the trace's last report is the last fed");
    std::fflush(stdout);
    return held ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<double> minutes = MinutesArgument(argc, argv);
    if (!minutes) {
        std::fprintf(stderr, "usage: soak_bench [MINUTES]   (default 30; more than 0, a fraction allowed)\n");
        return 2;
    }
    const int status = Soak(*minutes);
    // The application object lives in a function's static and does not
    // survive being torn down among the other statics at exit.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
