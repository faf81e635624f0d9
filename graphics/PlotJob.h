// The plot job: points the board sends, shown by a plot view (the plot window,
// or the console program's) and recorded in a file, and the controls that
// start, pause, resume and stop it. No widgets here: the view draws.
#pragma once

#include "graphics/PlotFile.h"
#include "graphics/PlotLogic.h"
#include "protocol/InputDecode.h"

#include <QString>

#include <cstdint>

namespace lumidra::graphics {

// What shows the plot.
class TPlotView {
public:
    virtual ~TPlotView() = default;
    // A new plot starts: an empty surface, no note.
    virtual void Clear() = 0;
    // One report's points, as the board sent them.
    virtual void PaintPoints(const TPointReport& points) = 0;
    // What went wrong with the record file, or an empty text.
    virtual void ShowNote(const QString& text) = 0;
    // Whether the view is there to show a note; if not, a message tells it.
    virtual bool Showing() const = 0;
    virtual void Hide() = 0;
    // The plot's state changed (its controls follow it).
    virtual void UpdateButtons() = 0;
};

// The one plot view of the run, or null while there is none.
extern TPlotView* PlotView;

// Point reports painted or skipped since program start, wrapping after 65535;
// no plot ever resets it.
extern std::uint16_t PlotCounter;
// The record file of the plot in hand (or of the last one).
extern TPlotFile PlotFile;

// Puts the counter back to 0 and closes the record file.
void ResetPlotState();

// Job step, run by the input handler on the report that reaches it in the
// dispatch order.
void PlotStep(const protocol::InputReport& Report);

// The view's controls.
// Starts a plot when none runs and the board is free (refused with the busy
// box otherwise): a white surface, a new record file, the job asked for.
// `recordFile`: where the record goes; empty: a new file in the start folder.
void StartPlot(TPlotView& view, const QString& recordFile = {});
void PausePlot(TPlotView& view);
void ResumePlot(TPlotView& view);
// The view closes: the plot stops (the board's next acknowledgement ends
// the job there and closes the file) and what was recorded goes to the disk.
void StopPlot(TPlotView& view);

// What becomes of the plot window when its plot ends without the board.
enum class TPlotWindow {
    Hide,         // no board to plot from: "Random" starts afresh once one is attached
    ShowStopped,  // its board was handed back but another may be taken at once
};

// The main window closes or the board is gone: the plot, if any, ends here
// and now, its file is closed; nothing is sent. A failure of the file is told
// unless `tellTrouble` is false (nobody to tell).
void EndPlot(bool tellTrouble = true, TPlotWindow window = TPlotWindow::Hide);

}  // namespace lumidra::graphics
