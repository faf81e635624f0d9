// The board model, job by job: each row is one whole exchange (what the host
// sends, what the board answers slot by slot, the state it ends in), and the
// record of protocol violations.
#include "boardmodel/BoardModel.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace lumidra::boardmodel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One line of a trace: the host sends a report, or the board's next slot
// carries a report, or nothing.
struct TTraceStep {
    enum class TKind { Host, Board, Silent } Kind;
    Bytes Payload;  // Host: byte 1 first; Board: index 0 first; zero-padded to 64
};

TTraceStep Host(Bytes payload) {
    return {TTraceStep::TKind::Host, std::move(payload)};
}
TTraceStep Board(const TReport& r) {
    return {TTraceStep::TKind::Board, Bytes(r.begin(), r.end())};
}
TTraceStep Board(Bytes payload) {
    return {TTraceStep::TKind::Board, std::move(payload)};
}
TTraceStep Silent() {
    return {TTraceStep::TKind::Silent, {}};
}
TTraceStep StatusSlot(std::uint8_t jobAck = 0) {
    return Board(Bytes{0, 0, 0, 0, 0, 0, jobAck});
}

// The host's buffers as the program fills them.
Bytes State(std::uint8_t right, std::uint8_t left, std::uint8_t flags, std::uint8_t command, std::uint8_t request) {
    return {right, left, flags, command, request};
}
Bytes Request() {
    return State(0, 0, 0, 1, 1);
}  // attach left byte 4 = 1
Bytes JobEnd() {
    return State(0, 0, 0, 1, 0);
}
Bytes Filled(std::uint8_t first, std::size_t n = ReportSize) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}
Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::vector<TTraceStep> Join(std::initializer_list<std::vector<TTraceStep>> parts) {
    std::vector<TTraceStep> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The request, the acknowledgement and the job's first JobReport.
std::vector<TTraceStep> Opened(Bytes job) {
    return {Host(Request()), StatusSlot(1), Host(std::move(job))};
}

std::vector<TTraceStep> DumpTrace() {
    std::vector<TTraceStep> steps = {Host(Request()), StatusSlot(1)};
    for (std::size_t offset = 0; offset < MemorySize; offset += ReportSize) {
        steps.push_back(Host({1, static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(offset >> 8)}));
        Bytes block(ReportSize);
        for (std::size_t i = 0; i < ReportSize; ++i) block[i] = MemoryPattern(offset + i);
        steps.push_back(Board(block));
        // The operator ticks an indicator meanwhile: the StateReport still
        // carries the request flag and only changes the display.
        if (offset == 1024) steps.push_back(Host(State(0, 0, 0x04, 1, 1)));
    }
    steps.push_back(Host({0, 0x00, 0x10}));
    steps.push_back(StatusSlot());
    return steps;
}

std::vector<TTraceStep> ImageTrace() {
    std::vector<TTraceStep> steps = Opened({2});
    for (int k = 0; k < 13; ++k) steps.push_back(Host(Filled(static_cast<std::uint8_t>(k * 64))));
    // The fourteenth report: band bytes 832..863, then what the thirteenth left.
    Bytes last = Filled(static_cast<std::uint8_t>(832 & 0xFF), 32);
    const Bytes thirteenth = Filled(static_cast<std::uint8_t>(768 & 0xFF));
    last.insert(last.end(), thirteenth.begin() + 32, thirteenth.end());
    steps.push_back(Host(last));
    steps.push_back(Host(JobEnd()));
    steps.push_back(StatusSlot());
    return steps;
}

struct TJobCase {
    std::string Name;
    std::vector<TTraceStep> Trace;
    std::function<void(const TBoardModel&)> Check;
    std::function<void(TBoardModel&)> Setup = [](TBoardModel&) {};
};

void PrintTo(const TJobCase& c, std::ostream* os) {
    *os << c.Name;
}

const Bytes Hello = Text("HELLO, BOARD!   second line     ");

const std::vector<TJobCase> JobCases = {
    {"StandingState",
     {Host(State(0xCD, 0xAB, 0x84, 1, 0)), StatusSlot(), Host(State(0x05, 0x09, 0x03, 5, 0)),
      Host(State(0x03, 0x05, 0x86, 2, 0)), StatusSlot()},
     [](const TBoardModel& m) {
         EXPECT_EQ(LedText(m.Led()), "05.03");
         EXPECT_TRUE(m.Led().Indicator1);
         EXPECT_TRUE(m.Led().Indicator2);
         EXPECT_FALSE(m.Lcd().Backlight);  // the 5 before the host left
         EXPECT_TRUE(m.HostLeft());
     }},
    {"LcdCommand", Join({Opened({4}), {Host({0xAE, 0x2F, 0x04, 0xE3, 0x77}), Host(JobEnd()), StatusSlot()}}),
     [](const TBoardModel& m) {
         EXPECT_EQ(m.Lcd().LastCommand, (Bytes{0xAE, 0x2F, 0x04}));
         EXPECT_FALSE(m.Lcd().Contrast);
         EXPECT_TRUE(m.Lcd().Backlight);
     }},
    {"Contrast", Join({Opened({4}), {Host({0xAD, 0x8D, 0xE3}), Host(JobEnd()), StatusSlot()}}),
     [](const TBoardModel& m) { EXPECT_EQ(m.Lcd().Contrast, 13); }},
    {"LcdTextNormalSize",
     Join({Opened({8, 0}), {Host(Hello), Host(Filled(0x41)), Host(Bytes(64, 0x20)), Host(JobEnd()), StatusSlot()}}),
     [](const TBoardModel& m) {
         EXPECT_EQ(m.Lcd().Shows, TLcdContent::Text);
         EXPECT_EQ(m.Lcd().TextMode, 0);
         EXPECT_EQ(LcdTextLines(m.Lcd())[0], "HELLO, BOARD!   ");
         EXPECT_EQ(LcdTextLines(m.Lcd())[1], "second line     ");
         EXPECT_EQ(m.Lcd().Text[64], 0x41);
         EXPECT_EQ(m.Lcd().Text[127], 0x41 + 63);
     }},
    {"LcdTextLargeSize", Join({Opened({8, 1}), {Host(Hello), Host(Filled(0x30)), Host(JobEnd()), StatusSlot()}}),
     [](const TBoardModel& m) {
         EXPECT_EQ(m.Lcd().TextMode, 1);
         EXPECT_EQ(m.Lcd().Text[64], 0x30);
     }},
    {"Splash", Join({Opened({8, 2}), {Silent(), Host({0, 2}), StatusSlot()}}),
     [](const TBoardModel& m) { EXPECT_EQ(m.Lcd().Shows, TLcdContent::Splash); }},
    {"Image", ImageTrace(),
     [](const TBoardModel& m) {
         EXPECT_EQ(m.Lcd().Shows, TLcdContent::Picture);
         for (std::size_t i = 0; i < LcdBandBytes; ++i) ASSERT_EQ(m.Lcd().Bands[i], i & 0xFF) << i;
         // Band byte 0 = 0x00, byte 1 = 0x01: column 1's top dot only.
         EXPECT_FALSE(LcdDot(m.Lcd(), 0, 0));
         EXPECT_TRUE(LcdDot(m.Lcd(), 1, 0));
         EXPECT_FALSE(LcdDot(m.Lcd(), 1, 1));
     }},
    {"FlashRead", Join({Opened({16, 0, 64, 127}), {Board(Filled(0)), Host({0, 0, 64, 127}), StatusSlot()}}),
     [](const TBoardModel& m) { EXPECT_EQ(m.Flash(), FlashPattern()); }},
    {"FlashErase", Join({Opened({16, 1, 64, 127}), {Silent(), Host(JobEnd()), StatusSlot()}}),
     [](const TBoardModel& m) {
         for (auto b : m.Flash()) ASSERT_EQ(b, 0xFF);
     }},
    {"FlashWrite", Join({Opened({16, 2, 64, 127}), {Host(Filled(0x80)), Host(JobEnd()), StatusSlot()}}),
     [](const TBoardModel& m) {
         EXPECT_EQ(m.Flash()[0], 0x80);
         EXPECT_EQ(m.Flash()[63], 0xBF);
     }},
    {"MemoryDump", DumpTrace(),
     [](const TBoardModel& m) {
         EXPECT_TRUE(m.Led().Indicator1);
         EXPECT_EQ(m.Memory()[4095], MemoryPattern(4095));
     }},
    {"Plot",
     Join({Opened({32, 4, 0x00, 0x00, 3, 251}),
           {Board(PlotPattern(0)), Host({32, 4, 0x00, 0x10, 3, 251}), Board(PlotPattern(1)),
            // Stopped: the host ends the job on the next report, whose
            // index 6 (point 3's x offset) is never 0.
            Host({32, 4, 0x00, 0x20, 3, 251}), Board(PlotPattern(2)), Host({0, 4, 0x00, 0x20, 3, 251}), Host(JobEnd()),
            StatusSlot()}}),
     [](const TBoardModel& m) {
         EXPECT_EQ(m.PlotReports(), 3u);
         EXPECT_NE(PlotPattern(2)[6], 0);
     }},
    {"DelayedAck",
     {Host(Request()), StatusSlot(0), StatusSlot(0), StatusSlot(1), Host({16, 1, 64, 127}), Host(JobEnd()),
      StatusSlot()},
     [](const TBoardModel& m) { EXPECT_EQ(m.Flash()[0], 0xFF); },
     [](TBoardModel& m) { m.DelayAcks(2); }},
    {"WithheldAck",
     {Host(Request()), StatusSlot(0), StatusSlot(0), StatusSlot(0)},
     [](const TBoardModel& m) { EXPECT_EQ(m.JobState(), TJobState::Requested); },
     [](TBoardModel& m) { m.WithholdAcks(true); }},
    {"StatusCarriesInputsAndKey",
     {Board(Bytes{0xFF, 0x03, 0x00, 0x02, 0x0A, 1, 0, 0, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF})},
     [](const TBoardModel& m) { EXPECT_EQ(m.Inputs().KeyStatus, 1); },
     [](TBoardModel& m) {
         m.SetChannel(1, 1023);
         m.SetChannel(2, 512);
         m.SetInputs(0x0A);
         m.PresentKey({0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01});
     }},
};

class BoardModelJobs : public ::testing::TestWithParam<TJobCase> {};

TEST_P(BoardModelJobs, FollowsTheTraceAndEndsIdle) {
    const TJobCase& c = GetParam();
    TBoardModel model;
    c.Setup(model);
    for (std::size_t i = 0; i < c.Trace.size(); ++i) {
        const TTraceStep& step = c.Trace[i];
        SCOPED_TRACE("step " + std::to_string(i));
        if (step.Kind == TTraceStep::TKind::Host) {
            model.Receive(step.Payload);
            continue;
        }
        const auto report = model.NextReport();
        if (step.Kind == TTraceStep::TKind::Silent) {
            EXPECT_FALSE(report);
            continue;
        }
        ASSERT_TRUE(report);
        Bytes expected = step.Payload;
        expected.resize(ReportSize);
        ASSERT_EQ(Bytes(report->begin(), report->end()), expected);
    }
    c.Check(model);
    if (c.Name != "WithheldAck") {
        EXPECT_EQ(model.JobState(), TJobState::Idle);
    }
    EXPECT_EQ(model.Violations(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Jobs, BoardModelJobs, ::testing::ValuesIn(JobCases),
                         [](const auto& test) { return test.param.Name; });

// --- violations -------------------------------------------------------------

struct TViolationCase {
    std::string Name;
    std::vector<TTraceStep> Trace;
    std::string Expected;  // the first violation recorded
};

void PrintTo(const TViolationCase& c, std::ostream* os) {
    *os << c.Name;
}

const std::vector<TViolationCase> ViolationCases = {
    {"DataReportWhileIdle", {Host(Filled(1))}, "DataReport nobody asked for"},
    {"DataReportBeforeTheAck", {Host(Request()), Host(Bytes(64, 0x20))}, "DataReport nobody asked for"},
    {"DataReportAfterTheJobsData",
     Join({Opened({4}), {Host({0xAD, 0x80, 0xE3}), Host({0xAD, 0x81, 0xE3, 0, 0, 0, 0x55})}}),
     "DataReport nobody asked for"},
    {"UnknownJobCode", Opened({3}), "unknown job code 3"},
    {"JobReportWithoutRequest", {Host({32, 4, 0, 0, 3, 251})}, "JobReport without an acknowledged job request"},
    {"FlashParameters", Opened({16, 0, 0, 0}), "Flash-ROM parameters 0, 0"},
    {"FlashOperation", Opened({16, 3, 64, 127}), "Flash-ROM operation 3"},
    {"TextMode", Opened({8, 5}), "LCD text mode 5"},
    {"DumpPastTheEnd", Opened({1, 0xC1, 0x0F}), "dump block at offset 4033"},
    {"RequestBeforeTheAnswer", Join({Opened({1, 0, 0}), {Host({1, 64, 0})}}),
     "JobReport before the answer to the last one went out"},
    {"UnknownCommandByte", {Host(State(0, 0, 0, 9, 0))}, "unknown command byte 9"},
    {"IndicatorBitsThreeToSix", {Host(State(0, 0, 0x08, 1, 0))}, "StateReport byte 3 sets bits 3 to 6"},
    {"RequestFlagValue", {Host(State(0, 0, 0, 1, 7))}, "StateReport byte 5 = 7"},
};

class BoardModelViolations : public ::testing::TestWithParam<TViolationCase> {};

TEST_P(BoardModelViolations, AreRecorded) {
    const TViolationCase& c = GetParam();
    TBoardModel model;
    for (const auto& step : c.Trace) {
        if (step.Kind == TTraceStep::TKind::Host)
            model.Receive(step.Payload);
        else
            model.NextReport();
    }
    ASSERT_FALSE(model.Violations().empty());
    EXPECT_EQ(model.Violations().front(), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Violations, BoardModelViolations, ::testing::ValuesIn(ViolationCases),
                         [](const auto& test) { return test.param.Name; });

TEST(BoardModelPowerCycle, KeepsFlashAndMemoryAndForgetsTheRest) {
    TBoardModel model;
    model.Receive(State(0x34, 0x12, 0x04, 1, 1));
    model.Flash()[0] = 0x5A;
    model.Receive(Filled(1));  // a violation, forgotten with the rest
    model.PowerCycle();
    EXPECT_EQ(LedText(model.Led()), "0000");
    EXPECT_FALSE(model.Lcd().Backlight);
    EXPECT_EQ(model.JobState(), TJobState::Idle);
    EXPECT_TRUE(model.Violations().empty());
    EXPECT_EQ(model.Flash()[0], 0x5A);
}

}  // namespace
}  // namespace lumidra::boardmodel
