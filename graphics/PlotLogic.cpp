#include "graphics/PlotLogic.h"

#include <algorithm>

#include "protocol/Hex.h"

#include <cstdio>

namespace lumidra::graphics {

namespace {

constexpr std::uint8_t PlotRequestCode = 0x20;
constexpr std::uint8_t PlotRequestMode = 4;
constexpr std::uint8_t PlotRequestByte5 = 3;
constexpr std::uint8_t PlotRequestByte6 = 0xFB;

}  // namespace

TPlotPixel PlotPixel(int index, std::uint8_t x, std::uint8_t y) {
    return {PlotTileSize * (index % 4) + x, PlotTileSize * ((index / 4) % 2) + y};
}

std::vector<TPixelRun> PixelRuns(std::vector<TPlotPixel> pixels) {
    std::sort(pixels.begin(), pixels.end(),
              [](const TPlotPixel& a, const TPlotPixel& b) { return a.Y != b.Y ? a.Y < b.Y : a.X < b.X; });
    std::vector<TPixelRun> runs;
    for (const TPlotPixel& p : pixels) {
        if (!runs.empty() && runs.back().Y == p.Y && p.X <= runs.back().X + runs.back().Width) {
            runs.back().Width = std::max(runs.back().Width, p.X - runs.back().X + 1);
            continue;
        }
        runs.push_back({p.X, p.Y, 1});
    }
    return runs;
}

TPlotRecord PlotRecord(const TPointReport& report) {
    TPlotRecord record{};
    for (std::size_t i = 0; i < PlotRecordSize; i += 2) {
        record[i] = report[i + 1];
        record[i + 1] = report[i];
    }
    return record;
}

std::array<std::uint8_t, 2> PlotCounterDigits(std::uint16_t counter) {
    std::string digits = std::to_string(counter);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    // Above 9999 the fifth digit is not sent.
    const auto d = [&](int i) { return static_cast<std::uint8_t>(digits[i]); };
    return {protocol::HexPairToByte(d(1), d(0)), protocol::HexPairToByte(d(3), d(2))};
}

void FillPlotRequest(std::array<std::uint8_t, 65>& jobReport, std::uint16_t counter) {
    const auto digits = PlotCounterDigits(counter);
    jobReport[1] = PlotRequestCode;
    jobReport[2] = PlotRequestMode;
    jobReport[3] = digits[0];
    jobReport[4] = digits[1];
    jobReport[5] = PlotRequestByte5;
    jobReport[6] = PlotRequestByte6;
}

std::string PlotFileName(const TPlotStamp& s, int attempt) {
    char name[64];
    if (attempt == 0) {
        std::snprintf(name, sizeof name, "plot-%04d%02d%02d-%02d%02d%02d.bin", s.Year, s.Month, s.Day, s.Hour, s.Minute,
                      s.Second);
    } else {
        std::snprintf(name, sizeof name, "plot-%04d%02d%02d-%02d%02d%02d-%d.bin", s.Year, s.Month, s.Day, s.Hour,
                      s.Minute, s.Second, attempt + 1);
    }
    return name;
}

TPlotStepKind PlotStepKind(bool jobActive, bool running, std::uint8_t jobAck) {
    if (!jobActive && jobAck == 0) return TPlotStepKind::Wait;
    if (!jobActive && !running) return TPlotStepKind::Stop;
    if (jobActive && running) return TPlotStepKind::Record;
    return TPlotStepKind::Request;
}

TPlotButtons PlotButtons(bool plotPending, bool jobActive, bool running) {
    // Before the board's first answer, clearing the running flag would stop
    // the plot, not pause it: neither button acts then.
    const bool underWay = plotPending && jobActive;
    return {underWay && running, underWay && !running};
}

}  // namespace lumidra::graphics
