// The runner that plays commands against a transport, on a fake port and a
// clock the test moves by hand.
#include "tools/virtual-board/BoardRunner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumidra::vboard {
namespace {

using namespace std::chrono_literals;
using State = TBoardRunner::TState;

class FakePort final : public TBoardPort {
public:
    bool Plug() override {
        calls.push_back("plug");
        return plugOk;
    }
    bool Unplug() override {
        calls.push_back("unplug");
        return true;
    }
    bool SendInput(const TReport& report) override {
        if (failAfter == sent.size()) return false;
        sent.push_back(report);
        return true;
    }
    std::vector<TReport> sent;
    std::vector<std::string> calls;
    bool plugOk = true;
    std::size_t failAfter = SIZE_MAX;
};

TBoardCommand Line(std::string_view text) {
    auto parsed = ParseCommandLine(text);
    EXPECT_TRUE(parsed.Command) << text << ": " << parsed.Error;
    return parsed.Command ? *parsed.Command : TBoardCommand{TStopCommand{}};
}

class BoardRunnerTest : public ::testing::Test {
protected:
    FakePort port;
    TBoardRunner runner{port};
    std::vector<std::string> problems;
    TBoardRunner::Clock::time_point t0{std::chrono::seconds(1000)};

    void SetUp() override {
        runner.OnProblem([this](const std::string& p) { problems.push_back(p); });
    }
    void Queue(std::initializer_list<std::string_view> lines) {
        for (auto l : lines) runner.Enqueue(Line(l));
    }
};

TEST_F(BoardRunnerTest, SendsInOrderUntilTheQueueIsEmpty) {
    Queue({"send 01", "status key=1", "send 03"});
    const auto step = runner.Run(t0);
    EXPECT_EQ(step.State, State::Idle);
    ASSERT_EQ(port.sent.size(), 3u);
    EXPECT_EQ(port.sent[0][0], 0x01);
    EXPECT_EQ(port.sent[1][5], 1);
    EXPECT_EQ(port.sent[2][0], 0x03);
    EXPECT_EQ(runner.InputsSent(), 3u);
    EXPECT_FALSE(runner.Pending());
}

TEST_F(BoardRunnerTest, SleepHoldsBackTheNextCommandUntilItsTime) {
    Queue({"send 01", "sleep 100", "send 02"});
    auto step = runner.Run(t0);
    EXPECT_EQ(step.State, State::WaitUntil);
    EXPECT_EQ(step.Until, t0 + 100ms);
    EXPECT_EQ(port.sent.size(), 1u);

    // Woken early (an output report came): still waiting for the same time.
    step = runner.Run(t0 + 99ms);
    EXPECT_EQ(step.State, State::WaitUntil);
    EXPECT_EQ(step.Until, t0 + 100ms);
    EXPECT_EQ(port.sent.size(), 1u);

    EXPECT_EQ(runner.Run(t0 + 100ms).State, State::Idle);
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[1][0], 0x02);
}

TEST_F(BoardRunnerTest, WaitOutputCountsEveryOutputReportReceived) {
    runner.OutputReceived();  // before the wait: counts too ("in all")
    Queue({"wait-output 3 1000", "send 0A"});
    auto step = runner.Run(t0);
    EXPECT_EQ(step.State, State::WaitUntil);
    EXPECT_EQ(step.Until, t0 + 1000ms);
    runner.OutputReceived();
    EXPECT_EQ(runner.Run(t0 + 10ms).State, State::WaitUntil);
    EXPECT_TRUE(port.sent.empty());
    runner.OutputReceived();
    EXPECT_EQ(runner.Run(t0 + 20ms).State, State::Idle);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_TRUE(problems.empty());
}

TEST_F(BoardRunnerTest, WaitOutputGivesUpAtItsLimitAndSaysSo) {
    Queue({"wait-output 2 50", "send 0B"});
    EXPECT_EQ(runner.Run(t0).State, State::WaitUntil);
    EXPECT_EQ(runner.Run(t0 + 50ms).State, State::Idle);
    EXPECT_EQ(port.sent.size(), 1u);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("only 0 output reports"), std::string::npos) << problems[0];
}

TEST_F(BoardRunnerTest, BurstSendsExactlyCountNumberedReportsInChunks) {
    const std::uint32_t count = 2 * TBoardRunner::ChunkSize + 7;
    runner.Enqueue(TBurstCommand{count, *boardmodel::MakeInputReport(std::vector<std::uint8_t>{0xA5})});
    Queue({"send 01"});
    int runs = 0;
    TBoardRunner::TStep step;
    do {
        step = runner.Run(t0);
        ++runs;
        // Never more than a chunk per call: output reports must get a turn.
        EXPECT_LE(port.sent.size(), std::size_t(runs) * TBoardRunner::ChunkSize + 1);
    } while (step.State == State::RunAgain && runs < 10);
    EXPECT_EQ(step.State, State::Idle);
    EXPECT_EQ(runs, 3);
    ASSERT_EQ(port.sent.size(), count + 1);
    for (std::uint32_t i = 0; i < count; ++i) {
        ASSERT_EQ(boardmodel::ReadSequence(port.sent[i]), i);
        ASSERT_EQ(port.sent[i][0], 0xA5);
    }
    EXPECT_EQ(port.sent.back()[0], 0x01);  // the following command ran after it
    EXPECT_EQ(boardmodel::ReadSequence(port.sent.back()), 0u);
}

TEST_F(BoardRunnerTest, StreamRunsUntilAnotherCommandArrivesAndNumbersOnePerReport) {
    Queue({"stream 5A"});
    EXPECT_EQ(runner.Run(t0).State, State::RunAgain);
    EXPECT_EQ(runner.Run(t0).State, State::RunAgain);
    EXPECT_EQ(port.sent.size(), 2 * TBoardRunner::ChunkSize);
    Queue({"stop", "send 01"});
    EXPECT_EQ(runner.Run(t0).State, State::Idle);
    ASSERT_EQ(port.sent.size(), 2 * TBoardRunner::ChunkSize + 1);
    for (std::size_t i = 0; i + 1 < port.sent.size(); ++i) ASSERT_EQ(boardmodel::ReadSequence(port.sent[i]), i);

    // A second stream starts counting from 0 again.
    Queue({"stream"});
    runner.Run(t0);
    EXPECT_EQ(boardmodel::ReadSequence(port.sent[2 * TBoardRunner::ChunkSize + 1]), 0u);
}

TEST_F(BoardRunnerTest, PaceSendsWhatIsDueByTheClockAndWaitsForTheNext) {
    Queue({"pace 1000 5A"});
    // The first report at once, then one each millisecond.
    auto step = runner.Run(t0);
    EXPECT_EQ(step.State, State::WaitUntil);
    EXPECT_EQ(step.Until, t0 + 1ms);
    EXPECT_EQ(port.sent.size(), 1u);

    // Woken early: nothing more is due yet.
    step = runner.Run(t0 + 999us);
    EXPECT_EQ(step.Until, t0 + 1ms);
    EXPECT_EQ(port.sent.size(), 1u);

    // Late by 10.5 ms: the reports due meanwhile go out at once, no more.
    step = runner.Run(t0 + 10500us);
    EXPECT_EQ(step.State, State::WaitUntil);
    EXPECT_EQ(step.Until, t0 + 11ms);
    ASSERT_EQ(port.sent.size(), 11u);
    for (std::size_t i = 0; i < port.sent.size(); ++i) {
        ASSERT_EQ(boardmodel::ReadSequence(port.sent[i]), i);
        ASSERT_EQ(port.sent[i][0], 0x5A);
    }

    // Far behind: no more than a chunk per call, so output reports get a turn.
    EXPECT_EQ(runner.Run(t0 + 1s).State, State::RunAgain);
    EXPECT_EQ(port.sent.size(), 11u + TBoardRunner::ChunkSize);

    Queue({"send 01"});
    EXPECT_EQ(runner.Run(t0 + 1s).State, State::Idle);
    EXPECT_EQ(port.sent.back()[0], 0x01);
}

TEST(PacedStream, DueCountAndTimesAgreeAtAnyRateAndAge) {
    using std::chrono::nanoseconds;
    for (std::uint32_t rate : {1u, 3u, 1000u, 7919u, 1000000u}) {
        for (std::uint64_t index : {0ull, 1ull, 2ull, 999ull, 123456789ull}) {
            const nanoseconds at = PaceTime(index, rate);
            // At its time a report is due, one tick before it is not.
            ASSERT_EQ(PaceDue(at, rate), index + 1) << rate << " " << index;
            if (index > 0) {
                ASSERT_EQ(PaceDue(at - nanoseconds(1), rate), index) << rate << " " << index;
            }
        }
    }
    EXPECT_EQ(PaceTime(3, 1000), std::chrono::milliseconds(3));
    // A day at the highest rate: no overflow on the way.
    const std::uint64_t day = 24ull * 3600 * 1000000;
    EXPECT_EQ(PaceTime(day, 1000000), std::chrono::hours(24));
    EXPECT_EQ(PaceDue(std::chrono::hours(24), 1000000), day + 1);
}

TEST_F(BoardRunnerTest, AFailedSendEndsABurstWithOneProblem) {
    port.failAfter = 10;
    Queue({"burst 100", "send 01"});
    EXPECT_EQ(runner.Run(t0).State, State::Idle);
    EXPECT_EQ(port.sent.size(), 10u);
    EXPECT_EQ(runner.InputsSent(), 10u);
    EXPECT_EQ(problems.size(), 2u);  // the burst's failure, then the send's
}

TEST_F(BoardRunnerTest, PlugAndUnplugYieldSoTheLoopCanWaitForTheDevice) {
    Queue({"unplug", "plug", "send 01", "quit", "send 02"});
    EXPECT_EQ(runner.Run(t0).State, State::RunAgain);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"unplug"}));
    EXPECT_EQ(runner.Run(t0).State, State::RunAgain);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"unplug", "plug"}));
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(runner.Run(t0).State, State::Quit);
    EXPECT_EQ(port.sent.size(), 1u);
    EXPECT_TRUE(runner.Pending());  // what follows quit is never run

    port.plugOk = false;
    TBoardRunner again{port};
    again.OnProblem([this](const std::string& p) { problems.push_back(p); });
    again.Enqueue(TPlugCommand{});
    again.Run(t0);
    EXPECT_EQ(problems, (std::vector<std::string>{"plug failed"}));
}

}  // namespace
}  // namespace lumidra::vboard
