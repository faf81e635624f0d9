#include "graphics/PlotLogic.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace lumidra::graphics {
namespace {

template <typename T>
std::string CaseName(const ::testing::TestParamInfo<T>& test) {
    return test.param.Name;
}

struct TPixelCase {
    const char* Name;
    int Index;
    std::uint8_t X, Y;
    TPlotPixel Pixel;
};
void PrintTo(const TPixelCase& c, std::ostream* os) {
    *os << c.Name;
}

class PointPixel : public ::testing::TestWithParam<TPixelCase> {};

TEST_P(PointPixel, LandsInItsTile) {
    const TPlotPixel pixel = PlotPixel(GetParam().Index, GetParam().X, GetParam().Y);
    EXPECT_EQ(pixel.X, GetParam().Pixel.X);
    EXPECT_EQ(pixel.Y, GetParam().Pixel.Y);
}

INSTANTIATE_TEST_SUITE_P(Points, PointPixel,
                         ::testing::Values(TPixelCase{"FirstAtOrigin", 0, 0, 0, {0, 0}},
                                           TPixelCase{"SeventhAtFarCorner", 7, 255, 255, {1023, 511}},
                                           TPixelCase{"EighthBackInTopLeftTile", 8, 10, 20, {10, 20}},
                                           TPixelCase{"ThirdInTopRightTile", 3, 5, 6, {773, 6}},
                                           TPixelCase{"FourthInBottomLeftTile", 4, 1, 2, {1, 258}},
                                           TPixelCase{"LastInBottomRightTile", 31, 255, 0, {1023, 256}}),
                         CaseName<TPixelCase>);

struct TRunsCase {
    const char* Name;
    std::vector<TPlotPixel> Pixels;
    std::vector<TPixelRun> Runs;
};
void PrintTo(const TRunsCase& c, std::ostream* os) {
    *os << c.Name;
}

class PaintedRuns : public ::testing::TestWithParam<TRunsCase> {};

TEST_P(PaintedRuns, AreSortedJoinedAndFreeOfRepeats) {
    EXPECT_EQ(PixelRuns(GetParam().Pixels), GetParam().Runs);
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, PaintedRuns,
    ::testing::Values(TRunsCase{"None", {}, {}}, TRunsCase{"One", {{5, 7}}, {{5, 7, 1}}},
                      TRunsCase{"RepeatsDropped", {{5, 7}, {5, 7}, {5, 7}}, {{5, 7, 1}}},
                      TRunsCase{"NeighboursInARowJoined", {{6, 7}, {4, 7}, {5, 7}}, {{4, 7, 3}}},
                      TRunsCase{"GapKeepsRunsApart", {{4, 7}, {6, 7}}, {{4, 7, 1}, {6, 7, 1}}},
                      TRunsCase{"RowsFirstThenColumns", {{9, 2}, {1, 8}, {3, 2}}, {{3, 2, 1}, {9, 2, 1}, {1, 8, 1}}},
                      TRunsCase{"NeighboursAcrossRowsStayApart", {{4, 8}, {4, 7}}, {{4, 7, 1}, {4, 8, 1}}},
                      TRunsCase{"RepeatInsideARun", {{4, 1}, {5, 1}, {4, 1}, {6, 1}}, {{4, 1, 3}}}),
    CaseName<TRunsCase>);

struct TDigitsCase {
    const char* Name;
    std::uint16_t Counter;
    std::uint8_t Byte3, Byte4;
};
void PrintTo(const TDigitsCase& c, std::ostream* os) {
    *os << c.Name;
}

class CounterDigits : public ::testing::TestWithParam<TDigitsCase> {};

TEST_P(CounterDigits, GoOutPairwiseReversed) {
    std::array<std::uint8_t, 65> job{};
    job[7] = 0x77;  // not the request's: left alone
    FillPlotRequest(job, GetParam().Counter);
    std::array<std::uint8_t, 65> expected{};
    expected[1] = 0x20;
    expected[2] = 4;
    expected[3] = GetParam().Byte3;
    expected[4] = GetParam().Byte4;
    expected[5] = 3;
    expected[6] = 0xFB;
    expected[7] = 0x77;
    EXPECT_EQ(job, expected);
}

INSTANTIATE_TEST_SUITE_P(Counters, CounterDigits,
                         ::testing::Values(TDigitsCase{"Zero", 0, 0x00, 0x00}, TDigitsCase{"One", 1, 0x00, 0x10},
                                           TDigitsCase{"Seven", 7, 0x00, 0x70},
                                           TDigitsCase{"FourDigits", 1234, 0x21, 0x43},
                                           TDigitsCase{"FiveDigitsSendTheirFirstFour", 10000, 0x01, 0x00},
                                           TDigitsCase{"Largest", 65535, 0x56, 0x35}),
                         CaseName<TDigitsCase>);

struct TNameCase {
    const char* Name;
    TPlotStamp Start;
    int Attempt;
    const char* File;
};
void PrintTo(const TNameCase& c, std::ostream* os) {
    *os << c.Name;
}

class RecordFileName : public ::testing::TestWithParam<TNameCase> {};

TEST_P(RecordFileName, CarriesTheStartTime) {
    EXPECT_EQ(PlotFileName(GetParam().Start, GetParam().Attempt), GetParam().File);
}

INSTANTIATE_TEST_SUITE_P(
    Names, RecordFileName,
    ::testing::Values(TNameCase{"PaddedFields", {2026, 3, 5, 9, 5, 7}, 0, "plot-20260305-090507.bin"},
                      TNameCase{"LastSecondOfYear", {2025, 12, 31, 23, 59, 59}, 0, "plot-20251231-235959.bin"},
                      TNameCase{"SecondTrySuffixed", {2026, 3, 5, 9, 5, 7}, 1, "plot-20260305-090507-2.bin"},
                      TNameCase{"TenthTry", {2026, 3, 5, 9, 5, 7}, 9, "plot-20260305-090507-10.bin"}),
    CaseName<TNameCase>);

struct TStateCase {
    const char* Name;
    bool Pending, JobActive, Running;
    std::uint8_t JobAck;
    TPlotStepKind Step;
    TPlotButtons Buttons;
};
void PrintTo(const TStateCase& c, std::ostream* os) {
    *os << c.Name;
}

class PlotState : public ::testing::TestWithParam<TStateCase> {};

TEST_P(PlotState, DecidesTheStepAndTheButtons) {
    const TStateCase& c = GetParam();
    EXPECT_EQ(PlotStepKind(c.JobActive, c.Running, c.JobAck), c.Step);
    EXPECT_EQ(PlotButtons(c.Pending, c.JobActive, c.Running), c.Buttons);
}

using K = TPlotStepKind;
INSTANTIATE_TEST_SUITE_P(
    States, PlotState,
    ::testing::Values(TStateCase{"StartingWaitsForAck", true, false, true, 0, K::Wait, {false, false}},
                      TStateCase{"StartingAcknowledged", true, false, true, 1, K::Request, {false, false}},
                      TStateCase{"RunningWithoutAck", true, true, true, 0, K::Record, {true, false}},
                      TStateCase{"RunningAcknowledged", true, true, true, 9, K::Record, {true, false}},
                      TStateCase{"PausedWithoutAck", true, true, false, 0, K::Request, {false, true}},
                      TStateCase{"StoppingWaitsForAck", true, false, false, 0, K::Wait, {false, false}},
                      TStateCase{"StoppingAcknowledged", true, false, false, 1, K::Stop, {false, false}},
                      TStateCase{"AnotherJobUnderWay", false, true, false, 0, K::Request, {false, false}}),
    CaseName<TStateCase>);

}  // namespace
}  // namespace lumidra::graphics
