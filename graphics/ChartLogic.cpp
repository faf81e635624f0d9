#include "graphics/ChartLogic.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumidra::graphics {

using protocol::ChannelPercent;

TChartSample ChartSample(std::int64_t timeMs, const protocol::TStatusView& status) {
    TChartSample sample{};
    sample.TimeMs = timeMs;
    sample.Channel1 = static_cast<std::uint16_t>(status.Channel1);
    sample.Channel2 = static_cast<std::uint16_t>(status.Channel2);
    for (int bit = 0; bit < 4; ++bit) sample.Inputs |= static_cast<std::uint8_t>(status.Inputs[bit] << bit);
    if (status.KeyId) {
        std::memcpy(sample.KeyId.data(), status.KeyId->data(), std::min(status.KeyId->size(), sample.KeyId.size()));
    }
    return sample;
}

TChartRing::TChartRing(std::size_t capacity)
    : samples_(std::make_unique_for_overwrite<TChartSample[]>(capacity)), capacity_(capacity) {}

void TChartRing::Push(TChartSample sample) {
    sample.KeyStart = sample.HasKey() && (size_ == 0 || (*this)[size_ - 1].KeyId != sample.KeyId);
    std::size_t at = first_ + size_;
    if (at >= capacity_) at -= capacity_;
    samples_[at] = sample;
    if (size_ < capacity_) {
        ++size_;
    } else if (++first_ == capacity_) {
        first_ = 0;
    }
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

}  // namespace

void ReduceColumns(const TChartRing& ring, double startMs, double msPerColumn, std::span<TChartColumn> columns) {
    std::fill(columns.begin(), columns.end(), TChartColumn{});
    if (columns.empty() || msPerColumn <= 0) return;
    const double endMs = startMs + msPerColumn * static_cast<double>(columns.size());
    std::size_t column = 0;
    double boundary = startMs + msPerColumn;
    TRawColumn raw;
    for (std::size_t i = ring.LowerBound(startMs); i < ring.Size(); ++i) {
        const TChartSample& sample = ring[i];
        const auto time = static_cast<double>(sample.TimeMs);
        if (time >= endMs) break;
        if (time >= boundary && column + 1 < columns.size()) {
            columns[column] = raw.Done();
            raw = {};
            // A gap of several columns is crossed in one step.
            const auto at = static_cast<std::size_t>((time - startMs) / msPerColumn);
            column = std::clamp(at, column + 1, columns.size() - 1);
            boundary = startMs + msPerColumn * static_cast<double>(column + 1);
        }
        raw.Add(sample, i);
    }
    columns[column] = raw.Done();
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
        if (s.HasKey()) csv.append(s.KeyId.data(), s.KeyId.size());
        csv.append("\r\n");
    }
    return csv;
}

}  // namespace lumidra::graphics
