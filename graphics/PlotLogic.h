// The plot's arithmetic, without widgets or files: where a point lands, what
// the record file gets, how the counter travels in a request, what a new
// record file is called, and what the plot step and the window's buttons do
// in each state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lumidra::graphics {

// The surface: 4 x 2 tiles of 256 x 256 pixels.
inline constexpr int PlotTileSize = 256;
inline constexpr int PlotWidth = 4 * PlotTileSize;
inline constexpr int PlotHeight = 2 * PlotTileSize;
// A point report: 32 points of two bytes, x offset then y offset.
inline constexpr int PlotPointsPerReport = 32;
inline constexpr std::size_t PlotRecordSize = 2 * PlotPointsPerReport;

using TPointReport = std::array<std::uint8_t, PlotRecordSize>;
using TPlotRecord = std::array<std::uint8_t, PlotRecordSize>;

struct TPlotPixel {
    int X;
    int Y;
    bool operator==(const TPlotPixel&) const = default;
};

// A row of adjacent pixels.
struct TPixelRun {
    int X;
    int Y;
    int Width;
    bool operator==(const TPixelRun&) const = default;
};

// The pixels as runs, sorted by row and then column, repeats dropped and
// neighbours in a row joined: the form a screen region is made from in one
// go (no two runs overlap or touch within a row).
std::vector<TPixelRun> PixelRuns(std::vector<TPlotPixel> pixels);

// Point `index` (0 to 31) with offsets `x`, `y`: points 0 to 3 go to the top
// tiles from the left, 4 to 7 to the bottom ones, then round again.
TPlotPixel PlotPixel(int index, std::uint8_t x, std::uint8_t y);

// What one painted report appends to the record file: each point's y offset,
// then its x offset.
TPlotRecord PlotRecord(const TPointReport& report);

// JobReport bytes 3 and 4 of a request: the counter's first four decimal
// digits (at least four, zero-padded), each pair packed with its second digit
// in the high nibble.
std::array<std::uint8_t, 2> PlotCounterDigits(std::uint16_t counter);

// Writes a plot request for `counter` into bytes 1 to 6 of the job report
// buffer (byte 0 is the report ID); the other bytes stay as they are.
void FillPlotRequest(std::array<std::uint8_t, 65>& jobReport, std::uint16_t counter);

// Local start time of a plot.
struct TPlotStamp {
    int Year, Month, Day, Hour, Minute, Second;
};

// "plot-YYYYMMDD-HHMMSS.bin" for attempt 0; a later attempt n adds "-(n+1)"
// before the extension, for when a plot of the same second already has it.
std::string PlotFileName(const TPlotStamp& start, int attempt);

// What the plot step does with a report that reaches it.
enum class TPlotStepKind {
    Wait,     // no job on the board yet and no acknowledgement: nothing
    Stop,     // stopped: end the job on the board and close the record
    Request,  // start or paused: only ask for the next report
    Record,   // running: paint, record and count, then ask for the next
};
TPlotStepKind PlotStepKind(bool jobActive, bool running, std::uint8_t jobAck);

// Which of the window's buttons does something now: "Пауза" while the plot
// runs on the board, "Дальше" while it is paused there.
struct TPlotButtons {
    bool Pause;
    bool Resume;
    bool operator==(const TPlotButtons&) const = default;
};
TPlotButtons PlotButtons(bool plotPending, bool jobActive, bool running);

}  // namespace lumidra::graphics
