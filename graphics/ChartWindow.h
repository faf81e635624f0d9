// The chart window "Каналы": both channels in % and the four inputs against
// time, drawn from the chart's recording, with the keys presented marked;
// spans of 10 s, 1 min and 10 min, pause, zoom, scrolling back, and the span
// shown saved as CSV or PNG.
#pragma once

#include "desktop/Seams.h"
#include "graphics/ChartLogic.h"
#include "graphics/ChartRecord.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace lumidra::graphics {

// The spans offered, shortest first; the window opens on the second.
inline constexpr std::array<std::int64_t, 3> ChartSpansMs = {10'000, 60'000, 600'000};

// The drawing: the channels' area with the legend above it, the inputs' band
// below it, the time axis in seconds since the recording began under both.
class TChartPlot : public QWidget {
public:
    explicit TChartPlot(QWidget* parent = nullptr);

    // The range as set; while it follows, its end is the newest sample's.
    const TChartRange& Range() const { return range_; }
    // The end of the span shown now.
    double ShownEnd() const;
    void SetDuration(double ms);
    // Following: the span moves with the newest sample. Stopping keeps the
    // span shown now.
    void SetFollowing(bool following);
    // Ring indexes [first, last) of the samples the span shown holds.
    std::pair<std::size_t, std::size_t> ShownSamples() const;
    // A sample was recorded: a following chart repaints once a column's time
    // has passed (at most 25 times a second); nothing runs while it is
    // paused or hidden.
    void SampleRecorded();
    // What lies under the pointer at `x`: time, both channels, the inputs;
    // empty where no sample is.
    QString ValueAt(int x) const;

    // After a zoom or a drag has changed the range (and maybe ended its
    // following).
    std::function<void()> OnRangeChanged;
    std::function<void(const QString&)> OnPointerValue;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct TFrame;  // where the parts go, and the time of each column
    TFrame Frame() const;
    double NewestMs() const;
    void ChangeRange(const TChartRange& range);
    void PaintAxes(class QPainter& painter, const TFrame& frame);
    void PaintChannels(QPainter& painter, const TFrame& frame);
    void PaintInputs(QPainter& painter, const TFrame& frame);
    void PaintKeys(QPainter& painter, const TFrame& frame);
    void PaintLegend(QPainter& painter, const TFrame& frame);

    TChartRange range_;
    std::vector<TChartColumn> columns_;  // as last painted, for the key marks' tool tips
    QTimer refresh_;
    std::optional<int> dragFrom_;
    TChartRange dragRange_;
};

class TChartWindow : public QWidget, public TChartListener {
public:
    explicit TChartWindow(QWidget* parent = nullptr);
    ~TChartWindow() override;

    TChartPlot* Plot;
    QComboBox* Span;           // ChartSpansMs, in order
    QPushButton* PauseButton;  // checked while paused ("Дальше" then)
    QPushButton* SaveButton;
    QLabel* PointerValue;
    desktop::TFileDialog SaveDialog;

    void SpanChange();
    void PauseClick();
    // "Сохранить…": the span shown as CSV, or as PNG when the name ends so
    // (or, with no suffix, the PNG filter was chosen); written whole or not
    // at all, a failure told in a box.
    void SaveClick();

    void SampleRecorded() override;

private:
    void ShowPaused(bool paused);
};

// The one chart window of the run, or null before it is made.
extern TChartWindow* ChartWindow;

// Shows the chart window modeless and brings it to the front.
void ShowChartWindow();

// The menu entry that opens it.
QString ChartMenuText();

}  // namespace lumidra::graphics
