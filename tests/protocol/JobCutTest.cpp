#include "protocol/JobCut.h"

#include <gtest/gtest.h>

namespace lumidra::protocol {
namespace {

struct TCutCase {
    const char* Name;
    TJob Job;
    bool Acknowledged;
    bool SameBoard;
    TJobCutEnd End;
};
void PrintTo(const TCutCase& c, std::ostream* os) {
    *os << c.Name;
}

class JobCutEnds : public ::testing::TestWithParam<TCutCase> {};

TEST_P(JobCutEnds, AsTheJobsOwnLastStepOnItsBoardAndNowhereElse) {
    EXPECT_EQ(JobCutEnd(GetParam().Job, GetParam().Acknowledged, GetParam().SameBoard), GetParam().End);
}

constexpr const char* Again = JobCutReconnectedText;
INSTANTIATE_TEST_SUITE_P(
    Jobs, JobCutEnds,
    ::testing::Values(TCutCase{"ReadRequested", TJob::FlashRead, false, true, {false, true, Again}},
                      TCutCase{"ReadUnderWay", TJob::FlashRead, true, true, {true, false, Again}},
                      TCutCase{"DumpUnderWay", TJob::Dump, true, true, {true, false, Again}},
                      TCutCase{"SplashBoxOpen", TJob::Splash, true, true, {true, false, Again}},
                      TCutCase{"PlotRunning", TJob::Plot, true, true, {true, true, Again}},
                      TCutCase{"PlotRequested", TJob::Plot, false, true, {false, true, Again}},
                      TCutCase{"ImageRequested", TJob::Image, false, true, {false, true, Again}},
                      TCutCase{"DumpOnABoardGone", TJob::Dump, true, false, {false, false, TransferCutText}},
                      TCutCase{"ReadOnABoardGone", TJob::FlashRead, false, false, {false, false, TransferCutText}},
                      TCutCase{"PlotOnABoardGone", TJob::Plot, true, false, {false, false, JobCutUnpluggedText}},
                      TCutCase{
                          "WriteOnABoardGone", TJob::FlashWrite, false, false, {false, false, JobCutUnpluggedText}}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::protocol
