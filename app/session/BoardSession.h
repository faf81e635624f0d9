// The board session both programs run on. Whatever the window and lumidra-cli
// do with the board lives here once: taking it as the enumeration offers it,
// the board in use and the job in hand, what an unplug hands back, the end of
// a job its board's hand-back cut off, each input report's way to the traces
// and to the one dispatch of job steps, and the closing report. It knows
// nothing of either face: a job's end reaches the face as its outcome
// (protocol/JobOutcome.h), a status report as the value Input returns.
#pragma once

#include "app/session/JobSteps.h"
#include "graphics/PlotJob.h"
#include "protocol/InputDecode.h"
#include "protocol/JobFlags.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lumidra::hid {
class THidDevice;
class THidDeviceController;
}  // namespace lumidra::hid

namespace lumidra::app {

// Where the two programs differ.
struct TSessionRules {
    // The only interface taken; empty: the first board offered.
    std::string Device;
    // Either twin's unplug hands back the board in use (the window's rule:
    // the re-scan that follows takes whichever is still there); otherwise
    // only the board in use's own unplug does.
    bool AnyTwinUnplug = true;
    // A plot ended with its board: whether its record's trouble is told, and
    // how its window is left.
    bool TellPlotTrouble = true;
    graphics::TPlotWindow PlotWindow = graphics::TPlotWindow::ShowStopped;
    // At the run's end the job in hand is ended on the board first, as its
    // own last step would end it, and the closing report follows (lumidra-cli:
    // the board is left with nothing half done); otherwise the closing
    // report goes out alone (the window: what the board does with a job cut
    // so is its own affair).
    bool EndJobAtClose = false;
};

// One input report as the session took it: the route protocol/InputDecode
// chose (Drop while the face serves none), and the status when it is one.
struct TSessionInput {
    protocol::TInputRoute Route = protocol::TInputRoute::Drop;
    protocol::TStatusView Status;
};

class TBoardSession {
public:
    TBoardSession(hid::THidDeviceController& controller, TSessionRules rules);

    // The enumeration's offer of `device` at `index`: true when it was taken
    // now as the board in use.
    bool Offer(hid::THidDevice& device, std::int32_t index);
    // The attach's second report: StateReport as the controls left it, then
    // the light stays on in every StateReport after it.
    static void Greet();
    // An unplug of `device`: when the rule makes it the board in use's, the
    // board is handed back and nothing of the job in hand runs on (a report
    // still on its way finds no job); the job waits for EndCutJob. True when
    // the board in use was handed back.
    bool Unplug(hid::THidDevice& device);
    // Ends the job the last hand-back cut off: on the board now in use when
    // it is the job's own, nowhere otherwise, and reports it cut. False when
    // no job was cut.
    static bool EndCutJob();
    // One input report: into the traces; then, while the face `serving`, the
    // job in hand takes its step (or the status is handed back). Nothing once
    // the closing report has gone out.
    static TSessionInput Input(const std::uint8_t* data, std::uint16_t size, const TJobInputs& inputs,
                               bool serving = true);
    // Ends the job in hand on the board in use as its own last step would
    // (the program stops it): the job, or none.
    std::optional<protocol::TJob> StopJob() const;
    // The run's end as the rules have it (EndJobAtClose): the closing report,
    // or with `stay` the board handed back with nothing more said. The job
    // it ended, or none.
    std::optional<protocol::TJob> Close(bool stay = false);
    // The board in use handed back with nothing said (the end of a run that
    // has closed already, or never began).
    static void HandBack();

private:
    hid::THidDeviceController& controller_;
    TSessionRules rules_;
};

}  // namespace lumidra::app
