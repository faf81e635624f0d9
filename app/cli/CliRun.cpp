#include "app/cli/CliRun.h"

#include "app/cli/CliFiles.h"

#include "controls/LcdPanel.h"
#include "controls/LcdScreen.h"
#include "controls/LedDisplay.h"
#include "graphics/ImageTransfer.h"
#include "graphics/PictureImport.h"
#include "hid/HidDevice.h"
#include "keybase/KeyBaseFile.h"
#include "protocol/Board.h"
#include "protocol/ProtocolState.h"
#include "transfers/Transfers.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <iostream>
#include <map>
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

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20) out += c;
    }
    return out + "\"";
}

}  // namespace

std::string ListLine(const TListedBoard& board, bool json) {
    if (json) {
        return "{\"node\":" + JsonText(board.Path) + ",\"serial\":" + JsonText(board.Serial) +
               ",\"maker\":" + JsonText(board.Maker) + ",\"name\":" + JsonText(board.Name) +
               ",\"version\":" + std::to_string(board.Version) + ",\"usable\":" + (board.Usable ? "true" : "false") +
               "}";
    }
    std::string line = board.Path;
    if (!board.Serial.empty() || board.Usable) {
        line += "  serial " + board.Serial + "  " + board.Maker + "  " + board.Name + "  version " +
                std::to_string(board.Version);
    }
    return board.Usable ? line : line + "  NOT USABLE";
}

TCliRun::TCliRun(const TCliOptions& options, hid::THidPlatform& platform, hid::TGuiThread& gui, TConsoleSeams& seams)
    : options_(options), seams_(seams) {
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
        *controller_, app::TSessionRules{options_.Device, false, false, graphics::TPlotWindow::Hide});
    graphics::PlotView = this;
}

TCliRun::~TCliRun() {
    if (graphics::PlotView == this) graphics::PlotView = nullptr;
    app::TBoardSession::Close(true);
    controller_.reset();
    transfers::ResetTransfers();
}

bool TCliRun::CheckOutput(desktop::TOutputFile& file, const std::string& name, TForm form) {
    if (file.Check(Local(name), form)) return true;
    Tell(FileFault(Local(name), file.Reason()));
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
    failedExit_ = readerGone ? ExitClosedPipe : ExitFailed;
    // A reader that has seen enough is no fault: no word, as pipelines expect.
    if (!readerGone) Tell(text);
    if (finished_) return;
    // Not inside the step in hand: the cut sends the job's end itself.
    QMetaObject::invokeMethod(
        &loop_, [this] { Cut(QString(), failedExit_); }, Qt::QueuedConnection);
}

int TCliRun::FailedWriteExit(const desktop::TOutputFile& file) {
    return file.State() == desktop::TOutputState::ClosedPipe ? ExitClosedPipe : ExitFailed;
}

std::string TCliRun::Operand(std::size_t index) const {
    return index < options_.Operands.size() ? options_.Operands[index] : std::string();
}

// What each command does before the board is touched (nothing: null) and
// once it is attached.
const TCliRun::TCommandSteps* TCliRun::StepsOf(const std::string& command) {
    using C = TCliRun;
    static const std::map<std::string, TCommandSteps> steps = {
        {"list", {nullptr, nullptr, nullptr, nullptr, nullptr}},
        {"status", {&C::PrepareStatus, &C::StartWatch, &C::PrintStatus, nullptr, nullptr}},
        {"keys", {&C::PrepareKeys, &C::StartWatch, &C::PrintKey, nullptr, nullptr}},
        {"led", {nullptr, &C::StartLed, nullptr, nullptr, nullptr}},
        {"lcd backlight", {nullptr, &C::StartBacklight, nullptr, nullptr, nullptr}},
        {"lcd contrast", {nullptr, &C::StartContrast, nullptr, nullptr, nullptr}},
        {"lcd command", {&C::PrepareLcdCommand, &C::StartLcdCommand, nullptr, nullptr, nullptr}},
        {"lcd text", {&C::PrepareLcdText, &C::StartLcdText, nullptr, nullptr, nullptr}},
        {"image", {&C::PrepareImage, &C::StartImage, nullptr, nullptr, &C::ImageProgress}},
        {"splash", {nullptr, &C::StartSplash, nullptr, nullptr, nullptr}},
        {"flash read", {&C::PrepareOutput, &C::StartFlashRead, nullptr, nullptr, &C::FlashProgress}},
        {"flash erase", {nullptr, &C::StartFlashErase, nullptr, nullptr, nullptr}},
        {"flash write", {&C::PrepareFlashWrite, &C::StartFlashWrite, nullptr, &C::VerifyFlashWrite, &C::FlashProgress}},
        {"dump", {&C::PrepareOutput, &C::StartDump, nullptr, &C::ExpectDump, &C::DumpProgress}},
        {"plot", {&C::PreparePlot, &C::StartPlot, nullptr, nullptr, &C::PlotProgress}},
    };
    const auto found = steps.find(command);
    return found == steps.end() ? nullptr : &found->second;
}

const TCliRun::TCommandSteps& TCliRun::Steps() const {
    // The parse lets only the table's commands (and convert, which runs no board) through.
    static const TCommandSteps none{nullptr, nullptr, nullptr, nullptr, nullptr};
    const TCommandSteps* steps = StepsOf(options_.Command);
    return steps != nullptr ? *steps : none;
}

int TCliRun::Prepare() {
    // The trace's folder is checked here; the trace is made once the board is found.
    for (const std::string& trace : options_.Traces) {
        if (!CheckOutput(traceChecks_.emplace_back(), trace, TForm::Stream)) return ExitFailed;
    }
    return Steps().Prepare == nullptr ? ExitDone : (this->*Steps().Prepare)();
}

int TCliRun::PrepareImage() {
    const std::unique_ptr<QIODevice> input = OpenInput(Operand(0));
    if (!input) return ExitFailed;
    // The window's own picture file first (its header goes to DataReport as
    // the window's does), else any picture made one-bit.
    seams_.Silent = true;
    picture_ = graphics::TakePictureFile(*input);
    seams_.Silent = false;
    if (!picture_) {
        picture_ =
            ImportForLcd(*input, options_.Number("--threshold", graphics::DefaultImportThreshold), Local(Operand(0)));
    }
    if (!picture_) return ExitFailed;
    inputs_.Picture = [this] { return *picture_; };
    return ExitDone;
}

int TCliRun::PrepareLcdText() {
    QString text = Local(Operand(0));
    inputs_.LcdText = [text = std::move(text)] { return text; };
    inputs_.Wrap = [this] { return !options_.Has("--no-wrap"); };
    return ExitDone;
}

int TCliRun::PrepareLcdCommand() {
    if (!controls::CommandLineBytes(Local(Operand(0)).toStdU16String()).empty()) return ExitDone;
    Tell(QCoreApplication::translate("cli", "lcd command: в «%1» нет ни одной полной пары шестнадцатеричных цифр")
             .arg(Local(Operand(0))));
    return ExitUsage;
}

int TCliRun::PrepareFlashWrite() {
    // One block: standard input is read no further.
    fileAnswer_ = Local(Operand(0));
    const std::optional<QByteArray> block = ReadInputHead(Operand(0), qint64(flashBlock_.size()));
    if (!block) return ExitFailed;
    if (block->size() != qint64(flashBlock_.size())) {
        Tell(transfers::ShortSourceText(fileAnswer_));
        return ExitFailed;
    }
    std::copy(block->begin(), block->end(), flashBlock_.begin());
    return ExitDone;
}

int TCliRun::PrepareOutput() {
    fileAnswer_ = Local(Operand(0));
    if (!CheckOutput(transfers::TransferFile.Output(), Operand(0), TForm::Whole)) return ExitFailed;
    if (options_.Has("--expect") && !keybase::ReadWholeFile(Local(options_.Value("--expect")))) {
        Tell(QCoreApplication::translate("cli", "--expect: файл «%1» не прочитан")
                 .arg(Local(options_.Value("--expect"))));
        return ExitFailed;
    }
    return ExitDone;
}

int TCliRun::PrepareKeys() {
    keysLeft_ = options_.Number("--count", 0);
    if (!options_.Has("--base")) return ExitDone;
    const QString base = Local(options_.Value("--base"));
    if (desktop::TOutputFile save; !CheckOutput(save, options_.Value("--base"), TForm::Whole)) return ExitFailed;
    // A base that does not exist yet starts empty.
    if (!QFile::exists(base)) {
        keyBase_.emplace();
        return ExitDone;
    }
    const std::optional<QByteArray> bytes = keybase::ReadWholeFile(base);
    if (!bytes) {
        Tell(QCoreApplication::translate("keybase", keybase::LoadFailedText));
        return ExitFailed;
    }
    keyBase_ = keybase::DecodeKeyBaseFile(std::string_view(bytes->constData(), std::size_t(bytes->size())));
    return ExitDone;
}

int TCliRun::PreparePlot() {
    // Made once the board is found: a run that finds none leaves it alone.
    plotRecord_ = Local(options_.Value("--out"));
    desktop::TOutputFile& out = options_.Has("--csv") ? csv_ : graphics::PlotFile.Output();
    return CheckOutput(out, options_.Value("--out"), TForm::Stream) ? ExitDone : ExitFailed;
}

int TCliRun::PrepareStatus() {
    if (options_.Has("--until")) until_ = ParseUntil(options_.Value("--until"));
    statusLeft_ = options_.Number("--count", options_.Has("--watch") || until_ ? 0 : 1);
    return ExitDone;
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
    if (Steps().Start == nullptr) {
        Finish(PrintList());
        return;
    }
    if (started_) return;
    started_ = true;
    if (AttachedDevice == nullptr) {
        Tell(options_.Device.empty()
                 ? QCoreApplication::translate(
                       "cli",
                       "no board: nothing with vendor ID C04E, product ID 2014 and serial 01.01 that "
                       "this user may open ('lumidra-cli list' tells more)")
                 : QCoreApplication::translate("cli", "нет платы по адресу %1 (подробнее — «lumidra-cli list»)")
                       .arg(Local(options_.Device)));
        Finish(ExitNoBoard);
        return;
    }
    if (OpenTrace) {
        if (!OpenTrace()) {
            Finish(ExitFailed);
            return;
        }
        TraceBoardPlace();
    }
    Attach();
    StartCommand();
}

bool TCliRun::Enumerate(hid::THidDevice* HidDev, std::int32_t Idx) {
    const std::string path = HidDev->PnPInfo() != nullptr ? HidDev->PnPInfo()->InterfacePath : std::string();
    if (Steps().Start == nullptr) {
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
            unusable_.push_back(PnPInfo->InterfacePath);
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
        if (Steps().Status != nullptr) (this->*Steps().Status)(input.Status);
        return;
    }
    if (input.Route == TInputRoute::Drop) return;
    silence_.start();
    // Stopped after its step, as the window's close would: the board's answer
    // to the request in flight ends the job there.
    if (options_.Has("--reports") && plotReports_ >= options_.Number("--reports", 1) && PlotRunning) {
        graphics::StopPlot(*this);
    }
    // Once the job has ended its message tells the rest.
    if (CurrentJobFlags().Raised() != 0) Progress();
    CheckJobEnd();
}

// --- list ---------------------------------------------------------------------------

int TCliRun::PrintList() {
    const bool json = options_.Has("--json");
    if (listed_.empty() && unusable_.empty()) {
        Tell(QCoreApplication::translate(
            "cli", "нет платы: нет ничего с кодом производителя C04E, кодом изделия 2014 и серийным номером 01.01"));
        return ExitNoBoard;
    }
    bool usable = false;
    for (const TListedBoard& board : listed_) {
        if (!Emit(ListLine(board, json))) return FailedWriteExit(stdout_);
        usable = usable || board.Usable;
        if (board.Usable) continue;
        Tell(QCoreApplication::translate("cli",
                                         "%1: этому пользователю нельзя её читать и писать; установите правило udev "
                                         "(70-lumidra.rules, см. «man lumidra») или попросите группу plugdev")
                 .arg(Local(board.Path)));
    }
    for (const std::string& path : unusable_) {
        TListedBoard seen;
        seen.Path = path;
        if (!Emit(ListLine(seen, json))) return FailedWriteExit(stdout_);
        Tell(QCoreApplication::translate(
                 "cli", "%1: cannot be opened; install the udev rule (70-lumidra.rules, see 'man lumidra')")
                 .arg(Local(path)));
    }
    // Seen but none usable: as good as no board for the script that asked.
    return usable ? ExitDone : ExitNoBoard;
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

void TCliRun::StartCommand() {
    seams_.FileAnswer = fileAnswer_;
    (this->*Steps().Start)();
}

void TCliRun::StartWatch() {
    silence_.start();
    if (!until_) return;
    deadline_.setInterval(options_.TimeoutMs);
    QObject::connect(&deadline_, &QTimer::timeout, [this] {
        Tell(QCoreApplication::translate("cli", "--until %1: не выполнилось за %2 с")
                 .arg(Local(options_.Value("--until")))
                 .arg(options_.TimeoutMs / 1000));
        Finish(ExitFailed);
    });
    deadline_.start();
}

void TCliRun::StartLed() {
    const controls::TClockTexts clock = controls::ClockTexts(seams_.Now());
    if (options_.Has("--time")) {
        controls::Button2Click(clock.Time.toStdString());
    } else if (options_.Has("--date")) {
        controls::Button3Click(clock.Date.toStdString());
    } else {
        controls::Button1Click(Operand(0));
    }
    Finish(ExitDone);
}

void TCliRun::StartBacklight() {
    controls::CheckLightClick(Operand(0) == "on");
    Finish(ExitDone);
}

void TCliRun::StartContrast() {
    controls::ContrastBarChange(std::stoi(Operand(0)), true);
    StartJob();
}

void TCliRun::StartLcdCommand() {
    controls::Button7Click(Local(Operand(0)));
    StartJob();
}

void TCliRun::StartLcdText() {
    controls::SendTextClick(options_.Value("--size") == "1.5x" ? controls::TextModeLarge : controls::TextModeNormal);
    StartJob();
}

void TCliRun::StartImage() {
    graphics::RequestImageJob();
    StartJob();
}

void TCliRun::StartSplash() {
    waitTold_ =
        options_.Has("--seconds")
            ? QCoreApplication::translate("cli", "заставка показана на %1 с").arg(options_.Number("--seconds", 1))
            : QCoreApplication::translate("cli", "заставка показана; Enter убирает её");
    graphics::Zast_OutClick();
    StartJob();
}

void TCliRun::StartFlashRead() {
    desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
    transfers::Read_FlashClick(dialog);
    StartJob();
}

void TCliRun::StartFlashErase() {
    transfers::Erase_FlashClick();
    StartJob();
}

void TCliRun::StartFlashWrite() {
    transfers::StartFlashWrite(fileAnswer_, flashBlock_);
    StartJob();
}

void TCliRun::StartDump() {
    desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
    transfers::ReadDUMP1Click(dialog);
    StartJob();
}

void TCliRun::StartPlot() {
    if (options_.Has("--csv") && (!csv_.Open(plotRecord_, TForm::Stream) || !csv_.Write("point,x,y\n", 10))) {
        OutputFailed(csv_);
        return;
    }
    // With --csv the CSV is the record: the window's goes nowhere.
    graphics::StartPlot(*this, options_.Has("--csv") ? desktop::KeptInMemory : plotRecord_);
    if (options_.Has("--seconds")) {
        deadline_.setInterval(options_.Number("--seconds", 1) * 1000);
        QObject::connect(&deadline_, &QTimer::timeout, [this] { graphics::StopPlot(*this); });
        deadline_.start();
    }
    StartJob();
}

void TCliRun::PrintStatus(const TStatusView& status) {
    if (!Emit(options_.Has("--json") ? StatusJson(status) : StatusLine(status))) return;
    if (until_ && UntilHolds(*until_, status)) {
        Finish(ExitDone);
    } else if (statusLeft_ > 0 && --statusLeft_ == 0) {
        Finish(until_ ? ExitFailed : ExitDone);
    }
}

void TCliRun::PrintKey(const TStatusView& status) {
    const std::string key = status.KeyId.value_or(std::string());
    if (key.empty() || key == lastKey_) {
        if (status.KeyStatus != 1) lastKey_.clear();
        return;
    }
    lastKey_ = key;
    std::string line = key;
    if (keyBase_) {
        const std::u16string id(key.begin(), key.end());
        if (!keybase::KeyBaseContains(*keyBase_, id)) {
            *keyBase_ += keybase::KeyBaseAppendText(*keyBase_, id);
            keyBaseChanged_ = true;
            line += " new";
        }
    }
    if (!Emit(line)) return;
    if (keysLeft_ > 0 && --keysLeft_ == 0) Finish(ExitDone);
}

void TCliRun::CheckJobEnd() {
    if (!jobStarted_ || finished_ || CurrentJobFlags().Raised() != 0) return;
    JobEnded();
}

void TCliRun::JobEnded() {
    silence_.stop();
    // A starter that had nothing to send reports nothing: nothing failed.
    const int exitCode = outcome_ ? ExitCodeOf(*outcome_).value_or(ExitFailed) : int(ExitDone);
    if (exitCode != ExitDone || Steps().Ended == nullptr) {
        Finish(exitCode);
        return;
    }
    if (const std::optional<int> ended = (this->*Steps().Ended)()) Finish(*ended);
}

std::optional<int> TCliRun::VerifyFlashWrite() {
    if (!options_.Has("--verify")) return ExitDone;
    if (!verifying_) {
        // Read the block back, kept in memory; compared when that job ends.
        verifying_ = true;
        outcome_.reset();
        seams_.Quiet = true;
        seams_.FileAnswer = desktop::KeptInMemory;
        desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
        transfers::Read_FlashClick(dialog);
        StartJob();
        return std::nullopt;
    }
    seams_.Quiet = options_.Quiet;
    const QByteArray& read = transfers::TransferFile.Output().Kept();
    if (read != QByteArray(reinterpret_cast<const char*>(flashBlock_.data()), qsizetype(flashBlock_.size()))) {
        Tell(QCoreApplication::translate("cli", "--verify: во FLASH не те байты, что первые 64 байта «%1»")
                 .arg(fileAnswer_));
        return ExitFailed;
    }
    if (!options_.Quiet) Tell(QCoreApplication::translate("cli", "--verify: во FLASH то, что записано"));
    return ExitDone;
}

std::optional<int> TCliRun::ExpectDump() {
    if (!options_.Has("--expect")) return ExitDone;
    const std::optional<QByteArray> expected = keybase::ReadWholeFile(Local(options_.Value("--expect")));
    if (expected && *expected == transfers::TransferFile.Output().Kept()) return ExitDone;
    Tell(
        QCoreApplication::translate("cli", "--expect: дамп отличается от «%1»").arg(Local(options_.Value("--expect"))));
    return ExitFailed;
}

void TCliRun::TakeOutcome(const TJobOutcome& outcome) {
    if (Told(outcome, seams_.Quiet)) Tell(outcome.Text);
    if (outcome.Kind == TOutcome::Waiting) {
        if (!seams_.Quiet) Tell(waitTold_.isEmpty() ? outcome.Text : waitTold_);
        WaitForOperator();
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
    app::TBoardSession::Close(options_.Stay);
    // The keys read so far, also after Ctrl+C.
    if (keyBase_ && !SaveKeyBase() && exitCode == ExitDone) exitCode = ExitFailed;
    // A write that failed on the way, the closing report's trace line too.
    if (failing_ && exitCode == ExitDone) exitCode = failedExit_;
    if (desktop::ClosedPipeSeen()) exitCode = ExitClosedPipe;
    exitCode_ = exitCode;
    loop_.exit(exitCode);
}

bool TCliRun::SaveKeyBase() {
    if (!keyBaseChanged_) return true;
    const QString base = Local(options_.Value("--base"));
    const keybase::TEncodedKeyBase encoded = keybase::EncodeKeyBaseFile(*keyBase_);
    if (!encoded.ok()) {
        Tell(keybase::UnencodableMessage(encoded));
        return false;
    }
    if (!keybase::WriteKeyBaseFile(base, QByteArray::fromStdString(encoded.Bytes))) {
        Tell(keybase::SaveFailedMessage(base));
        return false;
    }
    return true;
}

// The splash box of the window, here: Enter, the end of input, or the time
// given; the board's reports are handled meanwhile, as under the box.
void TCliRun::WaitForOperator() {
    QEventLoop wait;
    operatorWait = &wait;
    silence_.stop();
    QTimer timer;
    if (options_.Has("--seconds")) {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &wait, &QEventLoop::quit);
        timer.start(options_.Number("--seconds", 1) * 1000);
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
    if (options_.Quiet || !StderrIsTerminal() || Steps().Progress == nullptr) return;
    const TProgress progress = (this->*Steps().Progress)();
    TConsoleSeams::ShowProgress(ProgressLine(options_.Command, progress.Done, progress.Total, progress.Unit));
}

TCliRun::TProgress TCliRun::DumpProgress() const {
    return {DumpOffset, transfers::DumpSize};
}

// A one-block job: nothing done while its request is unanswered, all after.
TCliRun::TProgress TCliRun::FlashProgress() const {
    return {CurrentJobFlags().Raised() != 0 ? 0 : int(transfers::FlashBlockSize), int(transfers::FlashBlockSize)};
}

TCliRun::TProgress TCliRun::ImageProgress() const {
    const int total = int(graphics::ImageBandByteCount);
    return {CurrentJobFlags().Raised() != 0 ? 0 : total, total};
}

TCliRun::TProgress TCliRun::PlotProgress() const {
    return {plotReports_, options_.Number("--reports", 0), "reports"};
}

// --- the plot's view -------------------------------------------------------------

void TCliRun::PaintPoints(const graphics::TPointReport& points) {
    ++plotReports_;
    if (!csv_.IsOpen() || failing_) return;
    std::string lines;
    for (int i = 0; i < graphics::PlotPointsPerReport; ++i) {
        const auto at = 2 * std::size_t(i);
        const graphics::TPlotPixel pixel = graphics::PlotPixel(i, points[at], points[at + 1]);
        lines += std::to_string(plotPoint_++) + ',' + std::to_string(pixel.X) + ',' + std::to_string(pixel.Y) + '\n';
    }
    if (!csv_.Write(lines.data(), qint64(lines.size()))) OutputFailed(csv_);
}

void TCliRun::ShowNote(const QString& text) {
    // Only the record's failures come here: a failed write as any other.
    if (text.isEmpty()) return;
    FailWrite(text, graphics::PlotFile.ReaderGone());
}

}  // namespace lumidra::cli
