#include "app/session/BoardSession.h"

#include "app/session/AppState.h"
#include "hid/HidDevice.h"
#include "protocol/Board.h"
#include "protocol/JobCut.h"
#include "protocol/JobOutcome.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"
#include "protocol/Trace.h"
#include "transfers/Transfers.h"

#include <QCoreApplication>

#include <utility>

namespace lumidra::app {

using namespace protocol;

namespace {

std::string InterfacePath(const hid::THidDevice* device) {
    return device != nullptr && device->PnPInfo() != nullptr ? device->PnPInfo()->InterfacePath : std::string();
}

}  // namespace

TBoardSession::TBoardSession(hid::THidDeviceController& controller, TSessionRules rules)
    : controller_(controller), rules_(std::move(rules)) {}

bool TBoardSession::Offer(hid::THidDevice& device, std::int32_t index) {
    if (!rules_.Device.empty() && InterfacePath(&device) != rules_.Device) return false;
    return TakeBoard(controller_, device, index);
}

void TBoardSession::Greet() {
    KeySoundArmed = true;
    SendReport(StateReport);
    StateReport[4] = CommandLightOn;
}

bool TBoardSession::Unplug(hid::THidDevice& device) {
    if (AttachedDevice == nullptr) return false;
    if (rules_.AnyTwinUnplug ? !IsBoard(device) : &device != AttachedDevice.get()) return false;
    if (const std::optional<TJob> job = JobInHand(CurrentJobFlags())) {
        CutJob = TCutJob{*job, JobAcknowledged, InterfacePath(AttachedDevice.get())};
    }
    ReleaseAttachedDevice();
    transfers::BoardDetached();
    graphics::EndPlot(rules_.TellPlotTrouble, rules_.PlotWindow);
    ClearJobFlags();
    return true;
}

bool TBoardSession::EndCutJob() {
    if (!CutJob) return false;
    const TCutJob cut = *std::exchange(CutJob, std::nullopt);
    const bool sameBoard = AttachedDevice != nullptr && InterfacePath(AttachedDevice.get()) == cut.BoardPath;
    const TJobCutEnd end = JobCutEnd(cut.Job, cut.Acknowledged, sameBoard);
    // Whichever board is attached now has no job asked of it.
    SendJobCutEnd(end);
    // The text is one of the module's marked constants, whole.
    ReportJobOutcome(TJobOutcome::CutOff(QCoreApplication::translate("protocol", end.Text.data()),
                                         sameBoard ? TCut::BoardBack : TCut::BoardGone));
    return true;
}

TSessionInput TBoardSession::Input(const std::uint8_t* data, std::uint16_t size, const TJobInputs& inputs,
                                   bool serving) {
    // Once the closing report has gone out the board is no longer served:
    // what it sends in the closing pause is neither traced nor acted on, so a
    // trace ends with the closing report.
    if (StateReport[4] == CommandHostLeaves) return {};
    const InputReport report = CopyInputReport(data, size);
    if (ReportTrace != nullptr) ReportTrace->In(report);
    if (!serving) return {};
    const TInputRoute route = DecideInputRoute(report[InputJobAck], CurrentJobFlags());
    if (route == TInputRoute::Status) return {route, DecodeStatus(report.data())};
    RunJobStep(route, report, inputs);
    return {route, {}};
}

std::optional<TJob> TBoardSession::StopJob() const {
    const std::optional<TJob> job = JobInHand(CurrentJobFlags());
    if (!job) return job;
    const TJobCutEnd end = JobCutEnd(*job, JobAcknowledged, true);
    // A read or dump leaves its file as it was; a plot's record keeps what it
    // holds.
    transfers::BoardDetached();
    graphics::EndPlot(rules_.TellPlotTrouble, rules_.PlotWindow);
    ClearJobFlags();
    SendJobCutEnd(end);
    return job;
}

std::optional<TJob> TBoardSession::Close(bool stay) {
    const std::optional<TJob> job = rules_.EndJobAtClose ? StopJob() : std::nullopt;
    if (stay) {
        HandBack();
    } else {
        TellHostLeaves();
    }
    return job;
}

void TBoardSession::HandBack() {
    ReleaseAttachedDevice();
}

}  // namespace lumidra::app
