#include "graphics/ChartLogic.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumidra::graphics {

using protocol::ChannelPercent;

TChartRing::TChartRing(std::size_t capacity)
    : samples_(std::make_unique_for_overwrite<TChartSample[]>(capacity)),
      keys_(std::make_unique_for_overwrite<TKeyId[]>(capacity)),
      capacity_(capacity) {}

void TChartRing::Push(TChartSample sample, const TKeyId& key) {
    sample.Key = key[0] != '\0';
    sample.KeyStart = sample.Key && (size_ == 0 || !(*this)[size_ - 1].Key || KeyId(size_ - 1) != key);
    const std::size_t at = Slot(size_);
    samples_[at] = sample;
    // Most reports carry no key: their slot's identifier is never read.
    if (sample.Key) keys_[at] = key;
    if (size_ < capacity_) {
        ++size_;
    } else if (++first_ == capacity_) {
        first_ = 0;
    }
}

void TChartRing::Push(std::int64_t timeMs, const protocol::TStatusView& status) {
    TChartSample sample{};
    sample.TimeMs = timeMs;
    sample.Channel1 = static_cast<std::uint16_t>(status.Channel1);
    sample.Channel2 = static_cast<std::uint16_t>(status.Channel2);
    for (int bit = 0; bit < 4; ++bit) sample.Inputs |= static_cast<std::uint8_t>(status.Inputs[bit] << bit);
    TKeyId key{};
    if (status.KeyId) std::memcpy(key.data(), status.KeyId->data(), std::min(status.KeyId->size(), key.size()));
    Push(sample, key);
}

std::array<std::span<const TChartSample>, 2> TChartRing::Runs(std::size_t first, std::size_t last) const {
    if (first >= last) return {};
    const std::size_t from = Slot(first);
    const std::size_t count = last - first;
    const std::size_t head = std::min(count, capacity_ - from);
    return {std::span<const TChartSample>(samples_.get() + from, head),
            std::span<const TChartSample>(samples_.get(), count - head)};
}

void TChartRing::Clear() {
    first_ = 0;
    size_ = 0;
}

std::size_t TChartRing::LowerBound(double timeMs) const {
    std::size_t low = 0, high = size_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (static_cast<double>((*this)[middle].TimeMs) < timeMs) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

namespace {

// Raw values until the column is done: the percentage rises with the value,
// so the lowest value gives the lowest percentage, at one division a column.
struct TRawColumn {
    int Count = 0;
    std::uint16_t Min1 = 0, Max1 = 0, Min2 = 0, Max2 = 0;
    std::uint8_t Any = 0, All = 0;
    const TChartSample* Last = nullptr;
    std::ptrdiff_t Key = -1;

    void Add(const TChartSample& s, std::size_t index) {
        if (Count++ == 0) {
            Min1 = Max1 = s.Channel1;
            Min2 = Max2 = s.Channel2;
            Any = All = s.Inputs;
        } else {
            Min1 = std::min(Min1, s.Channel1);
            Max1 = std::max(Max1, s.Channel1);
            Min2 = std::min(Min2, s.Channel2);
            Max2 = std::max(Max2, s.Channel2);
            Any |= s.Inputs;
            All &= s.Inputs;
        }
        if (s.KeyStart && Key < 0) Key = static_cast<std::ptrdiff_t>(index);
        Last = &s;
    }

    TChartColumn Done() const {
        if (Count == 0) return {};
        return {Count,
                ChannelPercent(Min1),
                ChannelPercent(Max1),
                ChannelPercent(Last->Channel1),
                ChannelPercent(Min2),
                ChannelPercent(Max2),
                ChannelPercent(Last->Channel2),
                Any,
                All,
                Last->Inputs,
                Key};
    }
};

// The columns from `startMs` on, `msPerColumn` each. The times are whole
// milliseconds, so a time reaches a boundary when it reaches the boundary's
// ceiling: the test per sample compares integers.
class TColumnWalk {
public:
    TColumnWalk(double startMs, double msPerColumn, std::span<TChartColumn> columns)
        : startMs_(startMs),
          msPerColumn_(msPerColumn),
          columns_(columns),
          boundary_(Boundary(0)),
          end_(Boundary(columns.size() - 1)) {}

    // False once `s` lies past the last column.
    bool Add(const TChartSample& s, std::size_t index) {
        if (s.TimeMs >= end_) return false;
        if (s.TimeMs >= boundary_) Next(s.TimeMs);
        raw_.Add(s, index);
        return true;
    }
    void Finish() { columns_[column_] = raw_.Done(); }

private:
    std::int64_t Boundary(std::size_t column) const {
        return static_cast<std::int64_t>(std::ceil(startMs_ + msPerColumn_ * static_cast<double>(column + 1)));
    }
    void Next(std::int64_t time) {
        Finish();
        raw_ = {};
        // A gap of several columns is crossed in one step.
        const auto at = static_cast<std::size_t>((static_cast<double>(time) - startMs_) / msPerColumn_);
        column_ = std::clamp(at, column_ + 1, columns_.size() - 1);
        boundary_ = Boundary(column_);
        while (time >= boundary_ && column_ + 1 < columns_.size()) boundary_ = Boundary(++column_);
    }

    double startMs_;
    double msPerColumn_;
    std::span<TChartColumn> columns_;
    std::size_t column_ = 0;
    std::int64_t boundary_;
    std::int64_t end_;
    TRawColumn raw_;
};

}  // namespace

void ReduceColumns(const TChartRing& ring, double startMs, double msPerColumn, std::span<TChartColumn> columns) {
    std::fill(columns.begin(), columns.end(), TChartColumn{});
    if (columns.empty() || msPerColumn <= 0) return;
    TColumnWalk walk(startMs, msPerColumn, columns);
    std::size_t index = ring.LowerBound(startMs);
    for (const std::span<const TChartSample> run : ring.Runs(index, ring.Size())) {
        for (const TChartSample& sample : run) {
            if (!walk.Add(sample, index++)) {
                walk.Finish();
                return;
            }
        }
    }
    walk.Finish();
}

double FollowingEnd(double newestMs, double durationMs, double msPerColumn) {
    return std::max(durationMs, (std::floor(newestMs / msPerColumn) + 1) * msPerColumn);
}

std::optional<std::size_t> SampleNear(const TChartRing& ring, double timeMs, double reachMs) {
    std::optional<std::size_t> nearest;
    double distance = reachMs;
    const std::size_t after = ring.LowerBound(timeMs);
    for (const std::size_t at : {after - 1, after}) {
        if (at >= ring.Size()) continue;  // before the first (wrapped round) or after the last
        const double away = std::abs(static_cast<double>(ring[at].TimeMs) - timeMs);
        if (away <= distance) {
            nearest = at;
            distance = away;
        }
    }
    return nearest;
}

TChartRange ZoomChart(TChartRange range, double pointerMs, double factor, double newestMs) {
    const double duration = std::clamp(range.DurationMs * factor, static_cast<double>(ChartShortestSpanMs),
                                       static_cast<double>(ChartLongestSpanMs));
    const double scale = duration / range.DurationMs;
    range.EndMs = pointerMs + (range.EndMs - pointerMs) * scale;
    range.DurationMs = duration;
    if (range.EndMs < newestMs) range.Following = false;
    return range;
}

TChartRange ScrollChart(TChartRange range, double ms, double oldestMs, double newestMs) {
    range.EndMs = std::clamp(range.EndMs - ms, oldestMs, std::max(oldestMs, newestMs));
    range.Following = false;
    return range;
}

std::int64_t TimeTickStep(double msPerPixel, int minPixels) {
    const double least = msPerPixel * minPixels;
    for (std::int64_t power = 1;; power *= 10) {
        for (const std::int64_t step : {power, 2 * power, 5 * power}) {
            if (static_cast<double>(step) >= least) return step;
        }
    }
}

std::string InputBits(std::uint8_t inputs) {
    std::string bits(4, '0');
    for (int bit = 0; bit < 4; ++bit) {
        if ((inputs >> bit) & 1) bits[static_cast<std::size_t>(bit)] = '1';
    }
    return bits;
}

std::string ChartCsv(const TChartRing& ring, std::size_t first, std::size_t last) {
    std::string csv = ChartCsvHeader;
    // About 30 characters a line: one allocation for a whole span of ten minutes.
    csv.reserve(csv.size() + 32 * (last - first));
    for (std::size_t i = first; i < last; ++i) {
        const TChartSample& s = ring[i];
        csv.append(std::to_string(s.TimeMs))
            .append(1, ',')
            .append(std::to_string(ChannelPercent(s.Channel1)))
            .append(1, ',')
            .append(std::to_string(ChannelPercent(s.Channel2)))
            .append(1, ',')
            .append(InputBits(s.Inputs))
            .append(1, ',');
        if (s.Key) csv.append(ring.KeyId(i).data(), ring.KeyId(i).size());
        csv.append("\r\n");
    }
    return csv;
}

}  // namespace lumidra::graphics
