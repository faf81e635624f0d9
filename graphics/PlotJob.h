// The plot job: points the board sends, painted in the plot window and
// recorded in a file, and the window's controls that start, pause, resume
// and stop it.
#pragma once

#include "graphics/PlotFile.h"
#include "protocol/InputDecode.h"

#include <cstdint>

namespace lumidra::graphics {

class TForm2;

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

// "Random": shows the plot window modeless and brings it to the front.
void ShowPlotWindow();

// The window's controls.
// Starts a plot when none runs and the board is free (refused with the busy
// box otherwise): a white surface, a new record file, the job asked for.
void StartPlot(TForm2& window);
void PausePlot(TForm2& window);
void ResumePlot(TForm2& window);
// The window closes: the plot stops (the board's next acknowledgement ends
// the job there and closes the file) and what was recorded goes to the disk.
void StopPlot(TForm2& window);

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
