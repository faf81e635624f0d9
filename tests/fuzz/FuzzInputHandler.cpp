// The main window's input handler, fed whatever a board might send. The real
// window runs headless on the virtual bus with the board model behind it; the
// fuzzer puts the program into a job state of the kind the starters and the
// steps leave behind (a job asked for or under way, with its files, counters
// and buffers), then hands the handler input reports: random ones, the
// model's own answers to what the window sent, and acknowledgements, with the
// operator using the main window's starters and the plot window's controls in
// between. Message boxes are answered at once.
//
// Whatever the reports say:
// - every report written is 65 bytes with report ID 0;
// - a report that the dispatch shows as status or drops writes nothing, and
//   once the job in hand has ended nothing more is written at all;
// - a step keeps or ends its own job and never raises another: at most one
//   job is in hand, JobActive belongs to a read, a dump or a plot, a running
//   plot is a plot in hand, and the request byte is up exactly while a job
//   is in hand;
// - as long as every report was the model's own answer, the model sees
//   nothing against the protocol and always has its next report to send
//   (it never waits for a host that waits for it).
//
// Input layout (FuzzedDataProvider): the job state first, then operations
// until the input is used up.
#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/Unit1.h"
#include "boardmodel/BoardModel.h"
#include "graphics/PlotJob.h"
#include "graphics/Unit2.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/InputDecode.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"
#include "tests/fuzz/FuzzCheck.h"
#include "transfers/Transfers.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace lumidra;
using namespace lumidra::protocol;

namespace {

// Boxes and messages are answered OK at once; a save dialog chooses
// `SaveAs`, an open dialog `OpenFrom`. The clock stands still and nothing
// sounds or sleeps.
class AnsweringSeams final : public desktop::TUiSeams {
public:
    AnsweringSeams() { desktop::InstallSeams(this); }
    ~AnsweringSeams() override { desktop::InstallSeams(nullptr); }
    desktop::TMsgResult MessageBox(const QString&, const QString&, desktop::TMsgIcon, desktop::TMsgButtons) override {
        return desktop::TMsgResult::Ok;
    }
    void ShowMessage(const QString&) override {}
    bool ExecuteFileDialog(desktop::TFileDialog& dialog) override {
        dialog.FileName = dialog.Kind == desktop::TFileDialogKind::Save ? SaveAs : OpenFrom;
        return true;
    }
    QDateTime Now() override { return QDateTime(QDate(2026, 3, 5), QTime(9, 5, 7)); }
    void Pause(std::chrono::milliseconds) override {}
    void PlayKeySound(const QString&) override {}
    void Beep() override {}

    QString SaveAs;
    QString OpenFrom;
};

// The jobs as the operator knows them; the splash screen and the LCD text
// share a flag and differ in JobReport byte 2.
enum class TJobKind { None, Image, LcdCommand, Splash, LcdText, FlashRead, FlashErase, FlashWrite, Plot, Dump };

struct TWorld {
    QTemporaryDir Folder;
    AnsweringSeams Seams;
    hid::VirtualHidBus Bus;
    app::QtGuiThread Gui;
    int Board = 0;
    boardmodel::TBoardModel Model;
    std::vector<std::vector<std::uint8_t>> Written;
    std::unique_ptr<app::TForm1> Form;
    std::unique_ptr<graphics::TForm2> Plot;
};

TWorld* World = nullptr;
// While the job state is one the model has been through as well and every
// report so far was the model's own, the conversation is one a real board
// has: the model must have seen nothing against the protocol.
bool Genuine = true;

// The jobs whose flags are up now, one bit each.
unsigned RaisedJobs() {
    const bool splash = LcdTextPending && JobReport[2] == 2;
    const bool raised[] = {ImageSendPending,          LcdCommandPending,          splash,
                           LcdTextPending && !splash, FlashReadPending,           FlashErasePending,
                           FlashWritePending,         PlotPending || PlotRunning, DumpRequested};
    unsigned bits = 0;
    for (unsigned i = 0; i < std::size(raised); ++i) bits |= raised[i] ? 1u << i : 0u;
    return bits;
}

void CheckFlags() {
    const unsigned jobs = RaisedJobs();
    FUZZ_CHECK((jobs & (jobs - 1)) == 0);  // one job at most
    FUZZ_CHECK(!JobActive || FlashReadPending || DumpRequested || PlotPending);
    FUZZ_CHECK(!PlotRunning || PlotPending);
    FUZZ_CHECK(StateReport[JobRequestByte] <= 1);
    // Asked for on every start, taken back at every end.
    FUZZ_CHECK((jobs != 0) == (StateReport[JobRequestByte] == 1));
}

void CheckWrittenSince(std::size_t before) {
    for (std::size_t i = before; i < World->Written.size(); ++i) {
        FUZZ_CHECK(World->Written[i].size() == OutputReportSize);
        FUZZ_CHECK(World->Written[i][0] == 0);
    }
}

// One input report through the window's handler, as the reader hands it over.
void Deliver(const std::uint8_t* bytes, std::size_t size) {
    const std::uint8_t ack = size > InputJobAck ? bytes[InputJobAck] : 0;
    const TInputRoute route = DecideInputRoute(ack, CurrentJobFlags());
    const unsigned jobsBefore = RaisedJobs();
    const std::size_t before = World->Written.size();
    World->Form->HidDeviceController1DeviceData(nullptr, 0, bytes, static_cast<std::uint16_t>(size));
    World->Form->ShowPendingStatus();
    CheckWrittenSince(before);
    const bool wrote = World->Written.size() != before;
    if (route == TInputRoute::Status || route == TInputRoute::Drop) FUZZ_CHECK(!wrote);
    if (jobsBefore == 0) FUZZ_CHECK(!wrote);
    // The job in hand goes on or ends; no step raises another.
    FUZZ_CHECK((RaisedJobs() & ~jobsBefore) == 0);
    CheckFlags();
    if (Genuine) FUZZ_CHECK(World->Model.Violations().empty());
}

// Everything back to idle with the board attached: no job, no file, the
// model between jobs.
void ToIdle() {
    graphics::EndPlot(false);
    const QString plotFile = graphics::PlotFile.FileName();
    graphics::ResetPlotState();
    if (!plotFile.isEmpty()) QFile::remove(plotFile);
    transfers::ResetTransfers();
    ClearJobFlags();
    DumpOffset = 0;
    StateReport[JobRequestByte] = 0;
    JobReport.fill(0);
    World->Form->KeyTimer->stop();
    World->Form->MemoKey->clear();
    World->Model = boardmodel::TBoardModel();
    World->Written.clear();
    World->Bus.ClearWritten(World->Board);
    // What the handlers posted (repaints, layout requests) is done with, as
    // the event loop would between two reports.
    QCoreApplication::processEvents();
}

// The payload a command or a Flash-ROM write's file put in DataReport.
void FillDataReport(FuzzedDataProvider& in) {
    const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(OutputReportSize - 1);
    std::copy(bytes.begin(), bytes.end(), DataReport.begin() + 1);
}

// A job as its starter leaves it (asked for: flags, buffers and file name
// set, StateReport byte 5 = 1 sent, so the model acknowledges), or, for the
// jobs of many reports, as their steps leave it under way.
void SetJobState(FuzzedDataProvider& in) {
    Genuine = true;
    KeySoundArmed = in.ConsumeBool();
    StateReport[1] = in.ConsumeIntegral<std::uint8_t>();
    StateReport[2] = in.ConsumeIntegral<std::uint8_t>();
    const auto kind = static_cast<TJobKind>(in.ConsumeIntegralInRange<int>(0, int(TJobKind::Dump)));
    const bool underWay = in.ConsumeBool();
    switch (kind) {
        case TJobKind::None: return;
        case TJobKind::Image: ImageSendPending = true; break;
        case TJobKind::LcdCommand:
            LcdCommandPending = true;
            FillDataReport(in);
            break;
        case TJobKind::Splash:
            LcdTextPending = true;
            JobReport[2] = 2;
            break;
        case TJobKind::LcdText:
            LcdTextPending = true;
            JobReport[2] = in.ConsumeBool() ? 1 : 0;
            World->Form->Perenos->setChecked(in.ConsumeBool());
            World->Form->EditTxt->setText(QString::fromStdString(in.ConsumeRandomLengthString(200)));
            break;
        case TJobKind::FlashRead:
            FlashReadPending = true;
            transfers::TransferFile.Name = World->Seams.SaveAs;
            if (underWay) {
                // The start step has run: the file is open, the read asked for.
                JobActive = true;
                transfers::TransferFile.Create();
                JobReport[1] = 16;
                JobReport[3] = 64;
                JobReport[4] = 127;
            }
            break;
        case TJobKind::FlashErase: FlashErasePending = true; break;
        case TJobKind::FlashWrite:
            FlashWritePending = true;
            FillDataReport(in);
            break;
        case TJobKind::Plot:
            graphics::PlotCounter = in.ConsumeIntegral<std::uint16_t>();
            graphics::PlotFile.Create(World->Folder.path(), {2026, 3, 5, 9, 5, 7});
            if (in.ConsumeBool()) graphics::ShowPlotWindow();
            PlotPending = true;
            // Asked for and running; under way, running or paused; or
            // stopped by the window's close, the board's next
            // acknowledgement still to end it.
            PlotRunning = !underWay || in.ConsumeBool();
            JobActive = underWay && PlotRunning ? true : underWay && in.ConsumeBool();
            break;
        case TJobKind::Dump:
            DumpRequested = true;
            transfers::TransferFile.Name = World->Seams.SaveAs;
            if (underWay) {
                JobActive = true;
                transfers::TransferFile.Create();
                DumpOffset = static_cast<std::uint16_t>(64 * in.ConsumeIntegralInRange<int>(1, 64));
                JobReport[1] = 1;
            }
            break;
    }
    // Under way by assignment, the job is ahead of the model.
    Genuine =
        !(underWay && (kind == TJobKind::FlashRead || kind == TJobKind::Dump || (kind == TJobKind::Plot && JobActive)));
    RequestJob();
}

// The operator at the main window while reports come in: an LED value, or
// a job's starter, which refuses while another job is in hand.
void UseMainWindow(FuzzedDataProvider& in) {
    app::TForm1& form = *World->Form;
    const unsigned jobsBefore = RaisedJobs();
    const std::size_t before = World->Written.size();
    switch (in.ConsumeIntegralInRange<int>(0, 10)) {
        case 0:
            form.Edit1->setText(QString::number(in.ConsumeIntegral<std::uint16_t>(), 16));
            form.Button1Click();
            break;
        case 1: form.ContrastBar->setValue(in.ConsumeIntegralInRange<int>(0, 31)); break;
        case 2:
            form.EditCmd->setText(QString::fromStdString(in.ConsumeRandomLengthString(40)));
            form.Button7Click();
            break;
        case 3: form.Button8Click(); break;
        case 4: form.Button9Click(); break;
        case 5: form.Zast_OutClick(); break;
        case 6: form.Read_FlashClick(); break;
        case 7: form.Erase_FlashClick(); break;
        case 8: form.Write_FlashClick(); break;
        case 9: form.ReadDUMP1Click(); break;
        default: form.RandClick(); break;
    }
    CheckWrittenSince(before);
    // Refused, or the job waiting for its acknowledgement asked for again.
    if (jobsBefore != 0) FUZZ_CHECK(RaisedJobs() == jobsBefore);
    CheckFlags();
}

// The operator at the plot window while reports come in.
void UsePlotWindow(FuzzedDataProvider& in) {
    graphics::TForm2& window = *World->Plot;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: graphics::PausePlot(window); break;
        case 1: graphics::ResumePlot(window); break;
        default: graphics::StopPlot(window); break;
    }
    CheckFlags();
}

}  // namespace

// Fontconfig keeps its font cache for the whole process: not the program's
// leak.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed, like the world: the process ends inside libFuzzer,
    // with the window and its reader still there.
    new QApplication(*argc, *argv);
    World = new TWorld;
    FUZZ_CHECK(World->Folder.isValid());
    StartFolder = World->Folder.path();
    const QDir folder(World->Folder.path());
    World->Seams.SaveAs = folder.filePath(QStringLiteral("transfer.bin"));
    World->Seams.OpenFrom = folder.filePath(QStringLiteral("source.bin"));
    QFile source(World->Seams.OpenFrom);
    FUZZ_CHECK(source.open(QIODevice::WriteOnly) && source.write(QByteArray(100, '\x5A')) == 100);
    source.close();
    World->Board = World->Bus.Plug(hid::TVirtualBoard{});
    World->Bus.SetWriteObserver(World->Board, [](const std::vector<std::uint8_t>& report) {
        World->Written.push_back(report);
        if (!report.empty()) World->Model.Receive(std::span(report).subspan(1));
    });
    World->Form = std::make_unique<app::TForm1>(World->Bus, World->Gui);
    World->Plot = std::make_unique<graphics::TForm2>();
    World->Form->show();
    // Attached, and the reader waits for a report that never comes: the
    // reports go to the handler here, on the GUI thread, as the reader would
    // hand them over.
    for (int i = 0; i < 5000 && !(app::BoardAttached && World->Bus.CallCount("ReadFileEx") > 0); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    FUZZ_CHECK(app::BoardAttached);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ToIdle();
    SetJobState(in);
    World->Written.clear();
    CheckFlags();
    for (int op = 0; op < 300 && in.remaining_bytes() > 0; ++op) {
        switch (in.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: {  // the board's next report slot
                const auto report = World->Model.NextReport();
                // A board that waits for the host while the host waits for
                // the board: the job would hang for good.
                FUZZ_CHECK(report || !Genuine);
                if (report) Deliver(report->data(), report->size());
                break;
            }
            case 1: {  // anything at all, of any length up to a whole report
                Genuine = false;
                std::array<std::uint8_t, InputReportSize> report{};
                const std::vector<std::uint8_t> bytes =
                    in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, report.size()));
                std::copy(bytes.begin(), bytes.end(), report.begin());
                Deliver(report.data(), bytes.size());
                break;
            }
            case 2: {  // a status report with an acknowledgement in it
                Genuine = false;
                std::array<std::uint8_t, InputReportSize> report{};
                report[InputKeyStatus] = in.ConsumeIntegral<std::uint8_t>();
                report[InputJobAck] = in.ConsumeIntegral<std::uint8_t>();
                Deliver(report.data(), report.size());
                break;
            }
            case 3: UsePlotWindow(in); break;
            default: UseMainWindow(in); break;
        }
    }
    return 0;
}
