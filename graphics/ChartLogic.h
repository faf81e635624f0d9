// The chart's record and arithmetic, without widgets: the ring of the last
// status reports, the min/max of each pixel column a span is drawn by, the
// view's span under zoom and scrolling, and the CSV lines a save writes.
#pragma once

#include "protocol/InputDecode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace lumidra::graphics {

// The last ten minutes at the board's full rate of one report a millisecond.
inline constexpr std::size_t ChartCapacity = 600'000;
inline constexpr std::int64_t ChartLongestSpanMs = 600'000;
inline constexpr std::int64_t ChartShortestSpanMs = 100;

// One status report as the chart keeps it: 16 bytes, which a paint of ten
// minutes reads through. No member initialisers: the ring is made of ten
// minutes of these without touching a page of it.
struct TChartSample {
    std::int64_t TimeMs;     // since the recording began
    std::uint16_t Channel1;  // as the report carries it, 0..65535
    std::uint16_t Channel2;
    std::uint8_t Inputs;  // bit n: input n + 1 on
    bool Key;             // a key is held at the reader
    bool KeyStart;        // it is presented: not held (or another one) in the sample before
};

// A held key's identifier, as the status display gives it.
using TKeyId = std::array<char, 16>;

// A fixed ring of samples in the order they came, times never decreasing:
// the newest pushes the oldest out once it is full. Its memory is taken once,
// when it is made; a push allocates nothing.
class TChartRing {
public:
    explicit TChartRing(std::size_t capacity = ChartCapacity);

    // Adds `sample` as the newest, with the key held (none when `key` is
    // empty), and sets its Key and KeyStart.
    void Push(TChartSample sample, const TKeyId& key = {});
    // Adds one decoded status report at `timeMs`.
    void Push(std::int64_t timeMs, const protocol::TStatusView& status);
    void Clear();
    std::size_t Size() const { return size_; }
    std::size_t Capacity() const { return capacity_; }
    // Sample `i`, 0 the oldest.
    const TChartSample& operator[](std::size_t i) const { return samples_[Slot(i)]; }
    // The identifier of the key held in sample `i`; only where its Key is set.
    const TKeyId& KeyId(std::size_t i) const { return keys_[Slot(i)]; }
    // The index of the first sample at or after `timeMs`; Size() when none is.
    std::size_t LowerBound(double timeMs) const;
    // Samples [first, last) as the two runs they lie in (the second empty
    // unless they wrap round the end of the memory).
    std::array<std::span<const TChartSample>, 2> Runs(std::size_t first, std::size_t last) const;

private:
    std::size_t Slot(std::size_t i) const {
        const std::size_t at = first_ + i;
        return at >= capacity_ ? at - capacity_ : at;
    }

    std::unique_ptr<TChartSample[]> samples_;
    std::unique_ptr<TKeyId[]> keys_;
    std::size_t capacity_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
};

// What the samples of one pixel column come to: each channel's lowest,
// highest and last percentage (as the bars compute them), the inputs on in
// any and in all of its samples and in its last, and the first key presented
// in it. An empty column (Count 0) has nothing else set.
struct TChartColumn {
    int Count = 0;
    int Min1 = 0, Max1 = 0, Last1 = 0;
    int Min2 = 0, Max2 = 0, Last2 = 0;
    std::uint8_t InputsAny = 0, InputsAll = 0, InputsLast = 0;
    std::ptrdiff_t Key = -1;  // ring index of the first sample with KeyStart, or -1

    bool operator==(const TChartColumn&) const = default;
};

// Fills `columns`: column c takes the samples whose time lies in
// [startMs + c * msPerColumn, startMs + (c + 1) * msPerColumn). One pass over
// the samples of the span only, so ten minutes cost what they hold, whatever
// the width.
void ReduceColumns(const TChartRing& ring, double startMs, double msPerColumn, std::span<TChartColumn> columns);

// What the chart shows: the span (DurationMs) that ends at EndMs, moving with
// the newest sample while Following.
struct TChartRange {
    double EndMs = 0;
    double DurationMs = 60'000;
    bool Following = true;
    bool operator==(const TChartRange&) const = default;
};

// The end of a following span of `durationMs` drawn in columns of
// `msPerColumn`: the end of the newest sample's column, so a column keeps its
// place in time as the chart moves; `durationMs` until the recording is that
// long, so the span starts at 0 and the lines grow to the right until a whole
// span has passed.
double FollowingEnd(double newestMs, double durationMs, double msPerColumn);

// The index of the sample nearest `timeMs`, if one lies within `reachMs` of
// it; nothing over a gap or beyond the recording's ends.
std::optional<std::size_t> SampleNear(const TChartRing& ring, double timeMs, double reachMs);

// `range` zoomed by `factor` (above 1 shows more time) around `pointerMs`,
// which stays where it is on the screen; the span held between the shortest
// and the longest. A zoom that leaves the newest sample out of the view stops
// it following.
TChartRange ZoomChart(TChartRange range, double pointerMs, double factor, double newestMs);
// `range` moved back by `ms` (forward when negative), its end held between
// the oldest and the newest sample's times; a move stops it following.
TChartRange ScrollChart(TChartRange range, double ms, double oldestMs, double newestMs);

// The step of the time axis's labelled ticks in ms: the smallest of 1, 2 and
// 5 times a power of ten that leaves at least `minPixels` between two ticks.
std::int64_t TimeTickStep(double msPerPixel, int minPixels);

// The inputs as four '0' or '1', input 1 first.
std::string InputBits(std::uint8_t inputs);

// The CSV's first line, CR LF ended.
inline constexpr const char* ChartCsvHeader = "time_ms,channel1_percent,channel2_percent,inputs_1234,key\r\n";
// Samples [first, last) of `ring` as CSV: the header, then one CR LF ended
// line a sample: its time in ms, both channels in %, the inputs as
// InputBits, the identifier of the key held at the reader, else nothing.
std::string ChartCsv(const TChartRing& ring, std::size_t first, std::size_t last);

}  // namespace lumidra::graphics
