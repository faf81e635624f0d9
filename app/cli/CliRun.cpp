#include "app/cli/CliRun.h"

#include "app/cli/CliFiles.h"
#include "app/cli/CommandTable.h"
#include "app/cli/StatusText.h"
#include "controls/LcdPanel.h"
#include "controls/LedDisplay.h"
#include "hid/HidDevice.h"
#include "protocol/Board.h"
#include "protocol/ProtocolState.h"
#include "transfers/Transfers.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace lumidra::cli {

using namespace protocol;

namespace {

// The operator's wait of the splash box while it runs (GUI thread only).
QEventLoop* operatorWait = nullptr;

QString Local(const std::string& text) {
    return ArgumentText(text);
}

void Tell(const QString& text) {
    TConsoleSeams::Tell(text);
}

bool StderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

QString JobName(TJob job) {
    switch (job) {
        case TJob::LcdCommand: return QCoreApplication::translate("cli", "команда ЖКИ");
        case TJob::LcdText: return QCoreApplication::translate("cli", "текст ЖКИ");
        case TJob::Splash: return QCoreApplication::translate("cli", "заставка");
        case TJob::Image: return QCoreApplication::translate("cli", "рисунок");
        case TJob::FlashRead: return QCoreApplication::translate("cli", "чтение FLASH");
        case TJob::FlashErase: return QCoreApplication::translate("cli", "стирание FLASH");
        case TJob::FlashWrite: return QCoreApplication::translate("cli", "запись FLASH");
        case TJob::Dump: return QCoreApplication::translate("cli", "дамп памяти");
        case TJob::Plot: return QCoreApplication::translate("cli", "график");
    }
    return {};
}

using TForm = desktop::TOutputFile::TForm;

}  // namespace

TCliRun::TCliRun(const TCliOptions& options, hid::THidPlatform& platform, hid::TGuiThread& gui, TConsoleSeams& seams)
    : options_(options), seams_(seams), command_(MakeCommand(options, *this)) {
    seams_.Quiet = options_.Quiet;
    silence_.setSingleShot(true);
    silence_.setInterval(options_.TimeoutMs);
    QObject::connect(&silence_, &QTimer::timeout, [this] {
        Cut(QCoreApplication::translate("cli", "плата ничего не присылала %1 с").arg(options_.TimeoutMs / 1000),
            ExitFailed);
    });
    deadline_.setSingleShot(true);

    controller_ = std::make_unique<hid::THidDeviceController>(nullptr, platform, gui);
    controller_->BeginLoading();
    controller_->SetOnEnumerate(hid::THidEnumerateEvent::Of<&TCliRun::Enumerate>(this));
    controller_->SetOnDeviceChange(hid::TNotifyEvent::Of<&TCliRun::DeviceChange>(this));
    controller_->SetOnDeviceData(hid::THidDataEvent::Of<&TCliRun::DeviceData>(this));
    controller_->SetOnDeviceUnplug(hid::THidPlugEvent::Of<&TCliRun::DeviceUnplug>(this));
    controller_->SetOnDeviceCreateError(hid::THidDeviceCreateError::Of<&TCliRun::DeviceCreateError>(this));
    controller_->EndLoading();
    // Only its own board's unplug ends the run's job: another board going
    // away is none of its business.
    session_ = std::make_unique<app::TBoardSession>(
        *controller_, app::TSessionRules{options_.Device, false, false, graphics::TPlotWindow::Hide, true});
}

TCliRun::~TCliRun() {
    // The command first: the plot's view goes before the board is let go.
    command_.reset();
    app::TBoardSession::HandBack();
    controller_.reset();
    transfers::ResetTransfers();
}

bool TCliRun::CheckOutput(desktop::TOutputFile& file, const std::string& name, TForm form) {
    if (!file.Check(Local(name), form)) {
        Tell(FileFault(Local(name), file.Reason()));
        return false;
    }
    // Two writers of one file would leave it holding neither's work.
    const std::optional<std::string> identity = FileIdentity(name, true);
    if (!identity) return true;
    if (std::ranges::find(outputs_, *identity) != outputs_.end()) {
        file.Discard();
        Tell(FileFault(Local(name), QCoreApplication::translate("cli", "этот файл уже пишет эта же команда")));
        return false;
    }
    outputs_.push_back(*identity);
    return true;
}

bool TCliRun::CheckInput(const std::string& name) {
    const std::optional<std::string> identity = FileIdentity(name, false);
    if (!identity || std::ranges::find(outputs_, *identity) == outputs_.end()) return true;
    Tell(FileFault(Local(name), QCoreApplication::translate("cli", "этот файл пишет эта же команда")));
    return false;
}

bool TCliRun::Emit(const std::string& line) {
    if (failing_) return false;
    if (!stdout_.IsOpen() && !stdout_.Open(QString::fromLatin1(desktop::StandardOutputName), TForm::Stream)) {
        OutputFailed(stdout_);
        return false;
    }
    const std::string out = line + '\n';
    if (stdout_.Write(out.data(), qint64(out.size()))) return true;
    OutputFailed(stdout_);
    return false;
}

void TCliRun::OutputFailed(const desktop::TOutputFile& file) {
    WriteFailed(file.Name(), file.State() == desktop::TOutputState::ClosedPipe, file.Reason());
}

void TCliRun::WriteFailed(const QString& name, bool readerGone, const QString& reason) {
    FailWrite(FileFault(name, reason), readerGone);
}

void TCliRun::FailWrite(const QString& text, bool readerGone) {
    if (failing_) return;
    failing_ = true;
    // A signal cut the write: the signal's own end, with its code, follows.
    if (desktop::WritesCut()) return;
    failedExit_ = readerGone ? ExitClosedPipe : ExitFailed;
    // A reader that has seen enough is no fault: no word, as pipelines expect.
    if (!readerGone) Tell(text);
    if (finished_) return;
    // Not inside the step in hand: the cut sends the job's end itself.
    QMetaObject::invokeMethod(
        &loop_, [this] { Cut(QString(), failedExit_); }, Qt::QueuedConnection);
}

int TCliRun::Prepare() {
    // The trace's folder is checked here; the trace is made once the board is found.
    for (const std::string& trace : options_.Traces) {
        if (!CheckOutput(traceChecks_.emplace_back(), trace, TForm::Stream)) return ExitFailed;
    }
    // The parse lets only the table's commands through; one that needs no
    // board never comes here.
    if (!command_) return ExitUsage;
    return command_->Prepare();
}

int TCliRun::Exec() {
    if (finished_) return exitCode_;
    loop_.exec();
    return exitCode_;
}

// --- the device layer's events ----------------------------------------------------

void TCliRun::DeviceChange(hid::TObject*) {
    if (finished_) return;
    controller_->RunEnumeration();
    if (command_->Lists()) {
        command_->Start();
        return;
    }
    if (started_) return;
    started_ = true;
    if (AttachedDevice == nullptr) {
        Tell(options_.Device.empty()
                 ? QCoreApplication::translate(
                       "cli",
                       "нет платы: нет ничего с кодом производителя C04E, кодом изделия 2014 и серийным "
                       "номером 01.01, что этот пользователь может открыть (подробнее — «lumidra-cli list»)")
                 : QCoreApplication::translate("cli", "нет платы по адресу %1 (подробнее — «lumidra-cli list»)")
                       .arg(Local(options_.Device)));
        Finish(ExitNoBoard);
        return;
    }
    if (OpenTrace) {
        if (!OpenTrace()) {
            // An open cut by a signal: the signal's end follows.
            if (!desktop::WritesCut()) Finish(ExitFailed);
            return;
        }
        TraceBoardPlace();
    }
    Attach();
    silence_.start();
    command_->Start();
}

bool TCliRun::Enumerate(hid::THidDevice* HidDev, std::int32_t Idx) {
    const std::string path = HidDev->PnPInfo() != nullptr ? HidDev->PnPInfo()->InterfacePath : std::string();
    if (command_->Lists()) {
        if (!IsBoard(*HidDev)) return true;
        const hid::THidAttributes& identity = HidDev->Identity();
        const auto narrow = [](const std::u16string& text) { return QString::fromStdU16String(text).toStdString(); };
        listed_.push_back({path, narrow(HidDev->SerialString()), narrow(HidDev->StringByIndex(1)),
                           narrow(HidDev->StringByIndex(2)), identity.VersionNumber,
                           HidDev->OpenMain() && HidDev->ReadWriteGranted()});
        return true;
    }
    session_->Offer(*HidDev, Idx);
    return true;
}

void TCliRun::DeviceCreateError(hid::THidDeviceController*, hid::THidPnPInfo* PnPInfo, bool& Handled,
                                bool& RetryCreate) {
    Handled = true;
    RetryCreate = false;
    if (PnPInfo == nullptr) return;
    for (const std::string& id : PnPInfo->HardwareID) {
        QString upper = QString::fromStdString(id).toUpper();
        if (upper.contains(QStringLiteral("C04E")) && upper.contains(QStringLiteral("2014"))) {
            unopenable_.push_back(PnPInfo->InterfacePath);
            return;
        }
    }
}

void TCliRun::DeviceUnplug(hid::THidDevice* HidDev) {
    if (finished_ || !session_->Unplug(*HidDev)) return;
    // No re-scan follows here: the job ends nowhere, and its outcome tells it.
    if (!app::TBoardSession::EndCutJob()) Tell(QCoreApplication::translate("cli", "плата отключена"));
    Finish(outcome_ ? ExitCodeOf(*outcome_).value_or(ExitFailed) : int(ExitFailed));
}

void TCliRun::DeviceData(hid::THidDevice*, std::uint8_t, const std::uint8_t* Data, std::uint16_t Size) {
    const app::TSessionInput input = app::TBoardSession::Input(Data, Size, inputs_, !finished_ && started_);
    if (input.Route == TInputRoute::Status) {
        if (!jobStarted_) silence_.start();
        command_->Status(input.Status);
        return;
    }
    if (input.Route == TInputRoute::Drop) return;
    silence_.start();
    command_->Stepped();
    // Once the job has ended its message tells the rest.
    if (CurrentJobFlags().Raised() != 0) Progress();
    CheckJobEnd();
}

// --- the run ------------------------------------------------------------------------

void TCliRun::Attach() {
    // As the window's attach: the backlight box ticked sends StateReport with
    // the light on, then StateReport once more.
    controls::CheckLightClick(true);
    app::TBoardSession::Greet();
    // The standing state the command line gives, as the window's controls set it.
    if (options_.Has("--led")) controls::Button1Click(options_.Value("--led"));
    if (const std::optional<bool> on = options_.OnOff("--ind1")) controls::CheckBox1Click(*on);
    if (const std::optional<bool> on = options_.OnOff("--ind2")) controls::CheckBox2Click(*on);
    if (const std::optional<bool> on = options_.OnOff("--backlight")) controls::CheckLightClick(*on);
}

void TCliRun::StartJob() {
    jobStarted_ = true;
    silence_.start();
    if (CurrentJobFlags().Raised() != 0) Progress();
    CheckJobEnd();
}

void TCliRun::After(int ms, std::function<void()> then) {
    deadline_.setInterval(ms);
    QObject::connect(&deadline_, &QTimer::timeout, std::move(then));
    deadline_.start();
}

void TCliRun::CheckJobEnd() {
    if (!jobStarted_ || finished_ || CurrentJobFlags().Raised() != 0) return;
    JobEnded();
}

void TCliRun::JobEnded() {
    silence_.stop();
    // A starter that had nothing to send reports nothing: nothing failed.
    const int exitCode = outcome_ ? ExitCodeOf(*outcome_).value_or(ExitFailed) : int(ExitDone);
    if (exitCode != ExitDone) {
        Finish(exitCode);
        return;
    }
    // Taken: a job the command starts next reports its own.
    outcome_.reset();
    if (const std::optional<int> ended = command_->Ended()) Finish(*ended);
}

void TCliRun::TakeOutcome(const TJobOutcome& outcome) {
    if (Told(outcome, seams_.Quiet)) Tell(outcome.Text);
    if (outcome.Kind == TOutcome::Waiting) {
        command_->Waiting(outcome);
        return;
    }
    outcome_ = outcome;
}

void TCliRun::Cut(const QString& why, int exitCode) {
    if (finished_) return;
    if (const std::optional<TJob> job = session_->StopJob()) {
        if (!why.isEmpty()) Tell(QCoreApplication::translate("cli", "%1: прервано — %2").arg(why, JobName(*job)));
    } else if (exitCode == ExitFailed && !why.isEmpty()) {
        Tell(why);
    }
    Finish(exitCode);
}

void TCliRun::Interrupt(int exitCode) {
    Cut(exitCode == ExitInterrupted ? QCoreApplication::translate("cli", "прервано")
        : exitCode == ExitHangUp    ? QCoreApplication::translate("cli", "терминал закрыт")
                                    : QCoreApplication::translate("cli", "завершено"),
        exitCode);
}

void TCliRun::Finish(int exitCode) {
    if (finished_) return;
    finished_ = true;
    silence_.stop();
    deadline_.stop();
    if (operatorWait != nullptr) operatorWait->quit();
    TConsoleSeams::EndProgress();
    session_->Close(options_.Stay);
    // What the command keeps (the keys read so far), also after Ctrl+C.
    if (command_ && !command_->Keep() && exitCode == ExitDone) exitCode = ExitFailed;
    // A write that failed on the way, the closing report's trace line too.
    if (failing_ && exitCode == ExitDone) exitCode = failedExit_;
    if (desktop::ClosedPipeSeen()) exitCode = ExitClosedPipe;
    exitCode_ = exitCode;
    loop_.exit(exitCode);
}

// The splash box of the window, here: Enter, the end of input, or the time
// given; the board's reports are handled meanwhile, as under the box.
void TCliRun::WaitForOperator(std::optional<int> seconds) {
    QEventLoop wait;
    operatorWait = &wait;
    silence_.stop();
    QTimer timer;
    if (seconds) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &wait, &QEventLoop::quit);
        timer.start(*seconds * 1000);
    } else {
        // A thread of its own reads the line, so the loop goes on. It is left
        // behind when the wait ends first: what it sends then finds no wait.
        std::thread([] {
            std::string line;
            std::getline(std::cin, line);
            if (QCoreApplication* application = QCoreApplication::instance()) {
                QMetaObject::invokeMethod(
                    application,
                    [] {
                        if (operatorWait != nullptr) operatorWait->quit();
                    },
                    Qt::QueuedConnection);
            }
        }).detach();
    }
    wait.exec();
    operatorWait = nullptr;
    if (!finished_) silence_.start();
}

void TCliRun::Progress() {
    if (options_.Quiet || !StderrIsTerminal()) return;
    if (const std::optional<TProgress> progress = command_->Progress()) {
        TConsoleSeams::ShowProgress(ProgressLine(options_.Command, progress->Done, progress->Total, progress->Unit));
    }
}

}  // namespace lumidra::cli
