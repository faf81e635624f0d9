#include "protocol/JobGuard.h"
#include "protocol/ProtocolState.h"
#include "tests/support/ScriptedSeams.h"

#include <gtest/gtest.h>

#include <functional>

namespace lumidra::protocol {
namespace {

struct TBusyCase {
    const char* Name;
    std::function<void()> Raise;
    TJob Starter;
    bool Busy;
};
void PrintTo(const TBusyCase& c, std::ostream* os) {
    *os << c.Name;
}

class JobGuard : public ::testing::TestWithParam<TBusyCase> {
protected:
    void SetUp() override { ResetProtocolState(); }
    void TearDown() override { ResetProtocolState(); }
};

TEST_P(JobGuard, RefusesAnotherJobButLetsTheWaitingOneRepeat) {
    GetParam().Raise();
    testing::ScriptedSeams seams;
    seams.BoxAnswers.push_back(desktop::TMsgResult::Ok);
    const OutputReport state = StateReport, job = JobReport, data = DataReport;
    EXPECT_EQ(RefuseWhenBusy(GetParam().Starter), GetParam().Busy);
    ASSERT_EQ(seams.Boxes.size(), GetParam().Busy ? 1u : 0u);
    if (GetParam().Busy) {
        EXPECT_EQ(seams.Boxes[0].Text, QString::fromUtf8(BoardBusyText));
        EXPECT_EQ(seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
        EXPECT_EQ(seams.Boxes[0].Icon, desktop::TMsgIcon::Warning);
    }
    EXPECT_EQ(StateReport, state);
    EXPECT_EQ(JobReport, job);
    EXPECT_EQ(DataReport, data);
}

INSTANTIATE_TEST_SUITE_P(
    Starters, JobGuard,
    ::testing::Values(TBusyCase{"Idle", [] {}, TJob::FlashWrite, false},
                      TBusyCase{"CommandAgainWhileItWaits", [] { LcdCommandPending = true; }, TJob::LcdCommand, false},
                      TBusyCase{"TextWhileFlashWriteWaits", [] { FlashWritePending = true; }, TJob::LcdText, true},
                      TBusyCase{"CommandWhileFlashWriteWaits", [] { FlashWritePending = true; }, TJob::LcdCommand,
                                true},
                      TBusyCase{"OtherTextSizeWhileTextWaits", [] { LcdTextPending = true; }, TJob::LcdText, false},
                      TBusyCase{"SplashWhileTextWaits", [] { LcdTextPending = true; }, TJob::Splash, true},
                      TBusyCase{"TextWhileSplashWaits",
                                [] {
                                    LcdTextPending = true;
                                    JobReport[2] = 2;
                                },
                                TJob::LcdText, true},
                      TBusyCase{"ReadAgainBeforeItsAnswer", [] { FlashReadPending = true; }, TJob::FlashRead, false},
                      TBusyCase{"ReadAgainWhileReading",
                                [] {
                                    FlashReadPending = true;
                                    JobActive = true;
                                },
                                TJob::FlashRead, true},
                      TBusyCase{"DumpWhileRequested", [] { DumpRequested = true; }, TJob::Dump, false},
                      TBusyCase{"ImageWhileDumpRequested", [] { DumpRequested = true; }, TJob::Image, true},
                      TBusyCase{"DumpWhileDumping",
                                [] {
                                    DumpRequested = true;
                                    JobActive = true;
                                },
                                TJob::Dump, true},
                      TBusyCase{"EraseWhilePlotPaused", [] { PlotPending = true; }, TJob::FlashErase, true},
                      TBusyCase{"PlotWhilePlotRuns", [] { PlotRunning = true; }, TJob::Plot, true}),
    [](const ::testing::TestParamInfo<TBusyCase>& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::protocol
