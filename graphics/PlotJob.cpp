#include "graphics/PlotJob.h"

#include "desktop/Seams.h"
#include "protocol/JobGuard.h"
#include "protocol/JobOutcome.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

#include <algorithm>

namespace lumidra::graphics {

using namespace protocol;

std::uint16_t PlotCounter = 0;
TPlotFile PlotFile;
TPlotView* PlotView = nullptr;

namespace {

TPlotStamp Stamp(const QDateTime& time) {
    const QDate d = time.date();
    const QTime t = time.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

// A failure of the record file, told once per file: in the window while it
// shows, otherwise (the window has just closed) in a message.
void TellFileTrouble() {
    const QString text = PlotFile.TakeTrouble();
    if (text.isEmpty()) return;
    if (PlotView != nullptr && PlotView->Showing()) {
        PlotView->ShowNote(text);
    } else {
        desktop::Seams().ShowMessage(text);
    }
}

void UpdateButtons() {
    if (PlotView != nullptr) PlotView->UpdateButtons();
}

}  // namespace

void ResetPlotState() {
    PlotFile.Close();
    PlotFile.TakeTrouble();
    PlotCounter = 0;
}

void PlotStep(const InputReport& Report) {
    switch (PlotStepKind(JobActive, PlotRunning, Report[InputJobAck])) {
        case TPlotStepKind::Wait: return;
        case TPlotStepKind::Stop:
            JobReport[1] = 0;
            SendReport(JobReport);
            EndJobRequest();
            PlotPending = false;
            PlotFile.Close();
            TellFileTrouble();
            UpdateButtons();
            ReportJobOutcome(TJobOutcome::Done());
            return;
        case TPlotStepKind::Record:
            // The report that arrives while the counter stands at 0 is counted
            // but not painted.
            if (PlotCounter != 0) {
                TPointReport points;
                std::copy_n(Report.begin(), points.size(), points.begin());
                PlotFile.Append(PlotRecord(points));
                if (PlotView != nullptr) PlotView->PaintPoints(points);
                TellFileTrouble();
            }
            ++PlotCounter;
            break;
        case TPlotStepKind::Request: break;
    }
    const bool first = !JobActive;
    JobActive = true;
    FillPlotRequest(JobReport, PlotCounter);
    SendReport(JobReport);
    if (first) UpdateButtons();
}

void StartPlot(TPlotView& view, const QString& recordFile) {
    const bool underWay = PlotPending && (PlotRunning || JobActive);
    // With no board there is nobody to ask; "Random" is disabled then, but the
    // window may be shown again by the platform.
    if (!underWay && AttachedDevice != nullptr && !RefuseWhenBusy(TJob::Plot)) {
        view.Clear();
        if (recordFile.isEmpty()) {
            PlotFile.Create(StartFolder, Stamp(desktop::Seams().Now()));
        } else {
            PlotFile.CreateAt(recordFile);
        }
        PlotPending = true;
        PlotRunning = true;
        RequestJob();
        TellFileTrouble();
    }
    view.UpdateButtons();
}

void PausePlot(TPlotView& view) {
    if (PlotButtons(PlotPending, JobActive, PlotRunning).Pause) PlotRunning = false;
    view.UpdateButtons();
}

void ResumePlot(TPlotView& view) {
    if (PlotButtons(PlotPending, JobActive, PlotRunning).Resume) PlotRunning = true;
    view.UpdateButtons();
}

void StopPlot(TPlotView& view) {
    if (PlotPending) {
        PlotRunning = false;
        JobActive = false;
    }
    view.Hide();
    view.UpdateButtons();
}

void EndPlot(bool tellTrouble, TPlotWindow window) {
    // The board hears nothing more of the plot: after a detach it is gone,
    // and on the main window's close the report that tells it the host leaves
    // follows at once (a report sent now would cross the answer it has on
    // its way).
    if (PlotPending) {
        PlotPending = false;
        PlotRunning = false;
        JobActive = false;
    }
    if (PlotView != nullptr && window == TPlotWindow::Hide) PlotView->Hide();
    PlotFile.Close();
    if (tellTrouble) TellFileTrouble();
    UpdateButtons();
}

}  // namespace lumidra::graphics
