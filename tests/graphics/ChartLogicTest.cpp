// The chart's ring and its reduction to pixel columns: what each column
// keeps of its samples, and the newest samples kept once the ring is full.
#include "graphics/ChartLogic.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace lumidra::testing {
namespace {

using graphics::TChartColumn;
using graphics::TChartRing;
using graphics::TChartSample;

// A sample; `key` fills the whole identifier with one character, '\0' none.
struct TIn {
    std::int64_t TimeMs;
    std::uint16_t Channel1, Channel2;
    std::uint8_t Inputs = 0;
    char Key = '\0';
};

TChartRing RingOf(const std::vector<TIn>& in, std::size_t capacity = 16) {
    TChartRing ring(capacity);
    for (const TIn& s : in) {
        TChartSample sample{};
        sample.TimeMs = s.TimeMs;
        sample.Channel1 = s.Channel1;
        sample.Channel2 = s.Channel2;
        sample.Inputs = s.Inputs;
        graphics::TKeyId key{};
        if (s.Key != '\0') key.fill(s.Key);
        ring.Push(sample, key);
    }
    return ring;
}

// One column of a single sample's percentages and inputs.
TChartColumn One(int percent1, int percent2, std::uint8_t inputs = 0, std::ptrdiff_t key = -1) {
    return {1, percent1, percent1, percent1, percent2, percent2, percent2, inputs, inputs, inputs, key};
}

struct TReduceCase {
    const char* Name;
    std::vector<TIn> Samples;
    double StartMs;
    double MsPerColumn;
    std::vector<TChartColumn> Expected;
    friend void PrintTo(const TReduceCase& c, std::ostream* os) { *os << c.Name; }
};

class ReduceColumnsTest : public ::testing::TestWithParam<TReduceCase> {};

TEST_P(ReduceColumnsTest, KeepsMinMaxLastInputsAndFirstKey) {
    const TReduceCase& c = GetParam();
    std::vector<TChartColumn> columns(c.Expected.size(), One(7, 7));  // stale columns are overwritten
    graphics::ReduceColumns(RingOf(c.Samples), c.StartMs, c.MsPerColumn, columns);
    EXPECT_EQ(columns, c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReduceColumnsTest,
    ::testing::Values(
        TReduceCase{"SampleAColumn", {{0, 1023, 0}, {1, 511, 102}}, 0, 1, {One(100, 0), One(49, 9)}},
        // The percentages as the bars compute them, 200 % past full scale included.
        TReduceCase{"MinMaxLast",
                    {{0, 511, 2046}, {1, 0, 1023}, {2, 1023, 0}, {3, 102, 511}},
                    0,
                    4,
                    {{4, 0, 100, 9, 0, 200, 49, 0, 0, 0, -1}}},
        TReduceCase{"InputsOnInAnyInAllAndLast",
                    {{0, 0, 0, 0b0111}, {1, 0, 0, 0b0011}, {2, 0, 0, 0b1010}},
                    0,
                    3,
                    {{3, 0, 0, 0, 0, 0, 0, 0b1111, 0b0010, 0b1010, -1}}},
        TReduceCase{"GapLeavesColumnsEmpty", {{0, 0, 0}, {3, 1023, 1023}}, 0, 1, {One(0, 0), {}, {}, One(100, 100)}},
        TReduceCase{
            "OnlyTheSpan", {{4, 0, 0}, {5, 511, 0}, {9, 1023, 0}, {10, 0, 0}}, 5, 2.5, {One(49, 0), One(100, 0)}},
        TReduceCase{"FractionalWidth",
                    {{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {5, 0, 0}, {7, 0, 0}},
                    0,
                    2.5,
                    {{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1}, One(0, 0), {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1}}},
        // Held over two samples, a key is presented once; another one is
        // presented anew.
        TReduceCase{"FirstKeyPresented",
                    {{0, 0, 0}, {1, 0, 0, 0, 'A'}, {2, 0, 0, 0, 'A'}, {3, 0, 0, 0, 'B'}, {4, 0, 0, 0, 'B'}},
                    0,
                    2,
                    {{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3}, One(0, 0)}}),
    [](const ::testing::TestParamInfo<TReduceCase>& test) { return std::string(test.param.Name); });

TEST(ChartRing, KeepsTheNewestOnceFull) {
    const TChartRing ring = RingOf({{0, 1, 0}, {1, 2, 0, 0, 'A'}, {2, 3, 0, 0, 'A'}, {3, 4, 0}, {4, 5, 0, 0, 'A'}}, 3);
    ASSERT_EQ(ring.Size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(ring[i].Channel1, i + 3) << i;
    EXPECT_FALSE(ring[0].KeyStart);  // still held from the sample pushed out
    EXPECT_TRUE(ring[2].KeyStart);   // presented again after it was taken away
    EXPECT_EQ(ring.LowerBound(3), 1u);
    EXPECT_EQ(ring.LowerBound(5), 3u);
}

}  // namespace
}  // namespace lumidra::testing
