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
#include "protocol/JobCut.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"
#include "protocol/Trace.h"
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
    return QString::fromLocal8Bit(text.c_str());
}

void Tell(const QString& text) {
    TConsoleSeams::Tell(text);
}

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
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
        case TJob::LcdCommand: return QCoreApplication::translate("cli", "the LCD command");
        case TJob::LcdText: return QCoreApplication::translate("cli", "the LCD text");
        case TJob::Splash: return QCoreApplication::translate("cli", "the splash screen");
        case TJob::Image: return QCoreApplication::translate("cli", "the picture");
        case TJob::FlashRead: return QCoreApplication::translate("cli", "the Flash-ROM read");
        case TJob::FlashErase: return QCoreApplication::translate("cli", "the Flash-ROM erase");
        case TJob::FlashWrite: return QCoreApplication::translate("cli", "the Flash-ROM write");
        case TJob::Dump: return QCoreApplication::translate("cli", "the memory dump");
        case TJob::Plot: return QCoreApplication::translate("cli", "the plot");
    }
    return {};
}

// Whether `fileName` can be created or replaced, tried without touching it.
bool Writable(const QString& fileName, QString& reason) {
    transfers::TTransferFile probe;
    probe.Name = fileName;
    if (!probe.Create()) {
        reason = probe.ErrorString();
        return false;
    }
    probe.Discard();
    return true;
}

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
        Cut(QCoreApplication::translate("cli", "the board sent nothing for %1 s").arg(options_.TimeoutMs / 1000),
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
    graphics::PlotView = this;
}

TCliRun::~TCliRun() {
    if (graphics::PlotView == this) graphics::PlotView = nullptr;
    ReleaseAttachedDevice();
    controller_.reset();
    transfers::ResetTransfers();
    if (csv_ != nullptr) std::fclose(csv_);
}

QString TCliRun::OutputFile(const std::string& name) {
    if (name != "-") return Local(name);
    stdoutFile_ = scratch_.filePath(QStringLiteral("stdout"));
    return stdoutFile_;
}

std::string TCliRun::Operand(std::size_t index) const {
    return index < options_.Operands.size() ? options_.Operands[index] : std::string();
}

// What each command does before the board is touched (nothing: null) and
// once it is attached.
const TCliRun::TCommandSteps* TCliRun::StepsOf(const std::string& command) {
    static const std::map<std::string, TCommandSteps> steps = {
        {"status", {&TCliRun::PrepareStatus, &TCliRun::StartWatch}},
        {"keys", {&TCliRun::PrepareKeys, &TCliRun::StartWatch}},
        {"led", {nullptr, &TCliRun::StartLed}},
        {"lcd backlight", {nullptr, &TCliRun::StartBacklight}},
        {"lcd contrast", {nullptr, &TCliRun::StartContrast}},
        {"lcd command", {&TCliRun::PrepareLcdCommand, &TCliRun::StartLcdCommand}},
        {"lcd text", {&TCliRun::PrepareLcdText, &TCliRun::StartLcdText}},
        {"image", {&TCliRun::PrepareImage, &TCliRun::StartImage}},
        {"splash", {nullptr, &TCliRun::StartSplash}},
        {"flash read", {&TCliRun::PrepareOutput, &TCliRun::StartFlashRead}},
        {"flash erase", {nullptr, &TCliRun::StartFlashErase}},
        {"flash write", {&TCliRun::PrepareFlashWrite, &TCliRun::StartFlashWrite}},
        {"dump", {&TCliRun::PrepareOutput, &TCliRun::StartDump}},
        {"plot", {&TCliRun::PreparePlot, &TCliRun::StartPlot}},
    };
    const auto found = steps.find(command);
    return found == steps.end() ? nullptr : &found->second;
}

int TCliRun::Prepare() {
    const TCommandSteps* steps = StepsOf(options_.Command);
    return steps == nullptr || steps->Prepare == nullptr ? ExitDone : (this->*steps->Prepare)();
}

int TCliRun::PrepareImage() {
    const QString name = InputFileName(Operand(0), scratch_);
    // The window's own picture file first (its header goes to DataReport as
    // the window's does), else any picture made one-bit.
    seams_.Silent = true;
    picture_ = graphics::TakePictureFile(name);
    seams_.Silent = false;
    if (!picture_) {
        picture_ =
            ImportForLcd(name, options_.Number("--threshold", graphics::DefaultImportThreshold), Local(Operand(0)));
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
    Tell(QCoreApplication::translate("cli", "lcd command: no complete pair of hexadecimal digits in '%1'")
             .arg(Local(Operand(0))));
    return ExitUsage;
}

int TCliRun::PrepareFlashWrite() {
    fileAnswer_ = InputFileName(Operand(0), scratch_);
    QFile file(fileAnswer_);
    if (!file.open(QIODevice::ReadOnly)) {
        Tell(transfers::SourceReadErrorText(fileAnswer_, file.errorString()));
        return ExitFailed;
    }
    if (file.read(qint64(transfers::FlashBlockSize)).size() != qint64(transfers::FlashBlockSize)) {
        Tell(transfers::ShortSourceText(fileAnswer_));
        return ExitFailed;
    }
    return ExitDone;
}

int TCliRun::PrepareOutput() {
    fileAnswer_ = OutputFile(Operand(0));
    if (QString reason; !Writable(fileAnswer_, reason)) {
        Tell(transfers::TransferWriteErrorText(fileAnswer_, reason));
        return ExitFailed;
    }
    if (options_.Has("--expect") && !keybase::ReadWholeFile(Local(options_.Value("--expect")))) {
        Tell(QCoreApplication::translate("cli", "--expect: cannot read '%1'").arg(Local(options_.Value("--expect"))));
        return ExitFailed;
    }
    return ExitDone;
}

int TCliRun::PrepareKeys() {
    keysLeft_ = options_.Number("--count", 0);
    if (!options_.Has("--base")) return ExitDone;
    const QString base = Local(options_.Value("--base"));
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
    const QString out = Local(options_.Value("--out"));
    if (!options_.Has("--csv")) {
        plotRecord_ = OutputFile(options_.Value("--out"));
        if (QString reason; !Writable(plotRecord_, reason)) {
            Tell(QCoreApplication::translate("cli", "--out: cannot write '%1' (%2)").arg(out, reason));
            return ExitFailed;
        }
        return ExitDone;
    }
    csv_ = out == QStringLiteral("-") ? stdout : std::fopen(out.toLocal8Bit().constData(), "w");
    if (csv_ == nullptr) {
        Tell(QCoreApplication::translate("cli", "--out: cannot write '%1'").arg(out));
        return ExitFailed;
    }
    std::fputs("point,x,y\n", csv_);
    return ExitDone;
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
    if (options_.Command == "list") {
        PrintList();
        Finish(ExitDone);
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
                 : QCoreApplication::translate("cli", "no board at %1 ('lumidra-cli list' tells more)")
                       .arg(Local(options_.Device)));
        Finish(ExitNoBoard);
        return;
    }
    Attach();
    StartCommand();
}

bool TCliRun::Enumerate(hid::THidDevice* HidDev, std::int32_t Idx) {
    const std::string path = HidDev->PnPInfo() != nullptr ? HidDev->PnPInfo()->InterfacePath : std::string();
    if (options_.Command == "list") {
        if (!IsBoard(*HidDev)) return true;
        const hid::THidAttributes& identity = HidDev->Identity();
        const auto narrow = [](const std::u16string& text) { return QString::fromStdU16String(text).toStdString(); };
        listed_.push_back({path, narrow(HidDev->SerialString()), narrow(HidDev->StringByIndex(1)),
                           narrow(HidDev->StringByIndex(2)), identity.VersionNumber,
                           HidDev->OpenMain() && HidDev->ReadWriteGranted()});
        return true;
    }
    if (!options_.Device.empty() && path != options_.Device) return true;
    TakeBoard(*controller_, *HidDev, Idx);
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
    if (finished_ || AttachedDevice == nullptr || HidDev != AttachedDevice.get()) return;
    const std::optional<TJob> job = JobInHand(CurrentJobFlags());
    ReleaseAttachedDevice();
    transfers::BoardDetached();
    graphics::EndPlot(false);
    ClearJobFlags();
    Tell(job ? QCoreApplication::translate("protocol", JobCutEnd(*job, JobAcknowledged, false).Text.data())
             : QCoreApplication::translate("cli", "the board went away"));
    Finish(ExitFailed);
}

void TCliRun::DeviceData(hid::THidDevice*, std::uint8_t, const std::uint8_t* Data, std::uint16_t Size) {
    const InputReport report = CopyInputReport(Data, Size);
    if (ReportTrace != nullptr) ReportTrace->In(report);
    if (finished_ || !started_) return;
    const TInputRoute route = DecideInputRoute(report[InputJobAck], CurrentJobFlags());
    if (route == TInputRoute::Status) {
        if (!jobStarted_) silence_.start();
        Status(DecodeStatus(report.data()));
        return;
    }
    if (route == TInputRoute::Drop) return;
    silence_.start();
    app::RunJobStep(route, report, inputs_);
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

void TCliRun::PrintList() {
    const bool json = options_.Has("--json");
    for (const TListedBoard& board : listed_) {
        Print(ListLine(board, json));
        if (board.Usable) continue;
        Tell(QCoreApplication::translate("cli",
                                         "%1: this user may not read and write it; install the udev rule "
                                         "(70-lumidra.rules, see 'man lumidra') or ask for group plugdev")
                 .arg(Local(board.Path)));
    }
    for (const std::string& path : unusable_) {
        TListedBoard seen;
        seen.Path = path;
        Print(ListLine(seen, json));
        Tell(QCoreApplication::translate(
                 "cli", "%1: cannot be opened; install the udev rule (70-lumidra.rules, see 'man lumidra')")
                 .arg(Local(path)));
    }
}

// --- the run ------------------------------------------------------------------------

void TCliRun::Attach() {
    // As the window's attach: the backlight box ticked sends StateReport with
    // the light on, then StateReport once more.
    KeySoundArmed = true;
    controls::CheckLightClick(true);
    SendReport(StateReport);
    StateReport[4] = CommandLightOn;
    // The standing state the command line gives, as the window's controls set it.
    if (options_.Has("--led")) controls::Button1Click(options_.Value("--led"));
    if (const std::optional<bool> on = options_.OnOff("--ind1")) controls::CheckBox1Click(*on);
    if (const std::optional<bool> on = options_.OnOff("--ind2")) controls::CheckBox2Click(*on);
    if (const std::optional<bool> on = options_.OnOff("--backlight")) controls::CheckLightClick(*on);
}

void TCliRun::StartJob(const QString& doneText) {
    seams_.DoneText = doneText;
    jobStarted_ = true;
    silence_.start();
    if (CurrentJobFlags().Raised() != 0) Progress();
    CheckJobEnd();
}

void TCliRun::StartCommand() {
    seams_.FileAnswer = fileAnswer_;
    if (const TCommandSteps* steps = StepsOf(options_.Command)) (this->*steps->Start)();
}

void TCliRun::StartWatch() {
    silence_.start();
    if (!until_) return;
    deadline_.setInterval(options_.TimeoutMs);
    QObject::connect(&deadline_, &QTimer::timeout, [this] {
        Tell(QCoreApplication::translate("cli", "--until %1: did not hold within %2 s")
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
    StartJob({});
}

void TCliRun::StartLcdCommand() {
    controls::Button7Click(Local(Operand(0)));
    StartJob({});
}

void TCliRun::StartLcdText() {
    controls::SendTextClick(options_.Value("--size") == "1.5x" ? controls::TextModeLarge : controls::TextModeNormal);
    StartJob({});
}

void TCliRun::StartImage() {
    graphics::RequestImageJob();
    StartJob({});
}

void TCliRun::StartSplash() {
    seams_.WaitText = QCoreApplication::translate("graphics", graphics::SplashShownText);
    seams_.WaitForOperator = [this] { WaitForOperator(); };
    graphics::Zast_OutClick();
    StartJob({});
}

void TCliRun::StartFlashRead() {
    desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
    transfers::Read_FlashClick(dialog);
    StartJob(QCoreApplication::translate("transfers", transfers::FlashReadDoneText));
}

void TCliRun::StartFlashErase() {
    transfers::Erase_FlashClick();
    StartJob(QCoreApplication::translate("transfers", transfers::FlashEraseDoneText));
}

void TCliRun::StartFlashWrite() {
    desktop::TFileDialog dialog(desktop::TFileDialogKind::Open);
    transfers::Write_FlashClick(dialog);
    StartJob(QCoreApplication::translate("transfers", transfers::FlashWriteDoneText));
}

void TCliRun::StartDump() {
    desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
    transfers::ReadDUMP1Click(dialog);
    StartJob(QCoreApplication::translate("transfers", transfers::DumpDoneText));
}

void TCliRun::StartPlot() {
    graphics::StartPlot(*this, csv_ != nullptr ? scratch_.filePath(QStringLiteral("record")) : plotRecord_);
    if (options_.Has("--seconds")) {
        deadline_.setInterval(options_.Number("--seconds", 1) * 1000);
        QObject::connect(&deadline_, &QTimer::timeout, [this] { graphics::StopPlot(*this); });
        deadline_.start();
    }
    StartJob({});
}

void TCliRun::Status(const TStatusView& status) {
    if (options_.Command == "status") {
        Print(options_.Has("--json") ? StatusJson(status) : StatusLine(status));
        if (until_ && UntilHolds(*until_, status)) {
            Finish(ExitDone);
        } else if (statusLeft_ > 0 && --statusLeft_ == 0) {
            Finish(until_ ? ExitFailed : ExitDone);
        }
        return;
    }
    if (options_.Command != "keys") return;
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
            *keyBase_ = keybase::KeyBaseAppendText(*keyBase_, id);
            keyBaseChanged_ = true;
            line += " new";
        }
    }
    Print(line);
    if (keysLeft_ > 0 && --keysLeft_ == 0) Finish(ExitDone);
}

void TCliRun::CheckJobEnd() {
    if (!jobStarted_ || finished_ || CurrentJobFlags().Raised() != 0) return;
    JobEnded();
}

void TCliRun::JobEnded() {
    silence_.stop();
    const bool failed = seams_.Failed || (!seams_.DoneText.isEmpty() && !seams_.Done);
    if (failed) {
        Finish(ExitFailed);
        return;
    }
    const std::string& command = options_.Command;
    if (command == "flash write" && options_.Has("--verify") && !verifying_) {
        // Read the block back into a scratch file; compared when that job ends.
        verifying_ = true;
        seams_.Done = false;
        seams_.Quiet = true;
        seams_.FileAnswer = scratch_.filePath(QStringLiteral("verify"));
        desktop::TFileDialog dialog(desktop::TFileDialogKind::Save);
        transfers::Read_FlashClick(dialog);
        StartJob(QCoreApplication::translate("transfers", transfers::FlashReadDoneText));
        return;
    }
    if (verifying_) {
        seams_.Quiet = options_.Quiet;
        const std::optional<QByteArray> written = keybase::ReadWholeFile(fileAnswer_);
        const std::optional<QByteArray> read = keybase::ReadWholeFile(scratch_.filePath(QStringLiteral("verify")));
        const qsizetype block = qsizetype(transfers::FlashBlockSize);
        if (!written || !read || written->left(block) != read->left(block)) {
            Tell(QCoreApplication::translate("cli",
                                             "--verify: the Flash-ROM holds other bytes than the first 64 of '%1'")
                     .arg(fileAnswer_));
            Finish(ExitFailed);
            return;
        }
        if (!options_.Quiet) Tell(QCoreApplication::translate("cli", "--verify: the Flash-ROM holds what was written"));
    }
    if (command == "dump" && options_.Has("--expect")) {
        const std::optional<QByteArray> expected = keybase::ReadWholeFile(Local(options_.Value("--expect")));
        const std::optional<QByteArray> dumped = keybase::ReadWholeFile(fileAnswer_);
        if (!expected || !dumped || *expected != *dumped) {
            Tell(QCoreApplication::translate("cli", "--expect: the dump differs from '%1'")
                     .arg(Local(options_.Value("--expect"))));
            Finish(ExitFailed);
            return;
        }
    }
    Finish(ExitDone);
}

void TCliRun::Cut(const QString& why, int exitCode) {
    if (finished_) return;
    if (const std::optional<TJob> job = JobInHand(CurrentJobFlags())) {
        const TJobCutEnd end = JobCutEnd(*job, JobAcknowledged, true);
        // A read or dump leaves its file as it was; a plot's record keeps
        // what it holds.
        transfers::BoardDetached();
        graphics::EndPlot(false);
        ClearJobFlags();
        SendJobCutEnd(end);
        Tell(QCoreApplication::translate("cli", "%1: %2 was cut").arg(why, JobName(*job)));
    } else if (exitCode == ExitFailed) {
        Tell(why);
    }
    Finish(exitCode);
}

void TCliRun::Interrupt(int exitCode) {
    Cut(exitCode == ExitInterrupted ? QStringLiteral("interrupted") : QStringLiteral("terminated"), exitCode);
}

void TCliRun::Finish(int exitCode) {
    if (finished_) return;
    finished_ = true;
    silence_.stop();
    deadline_.stop();
    if (operatorWait != nullptr) operatorWait->quit();
    TConsoleSeams::EndProgress();
    if (keyBase_ && !SaveKeyBase() && exitCode == ExitDone) exitCode = ExitFailed;
    if (!stdoutFile_.isEmpty() && exitCode == ExitDone) {
        if (const std::optional<QByteArray> bytes = keybase::ReadWholeFile(stdoutFile_)) WriteStdout(*bytes);
    }
    if (csv_ != nullptr && csv_ != stdout) {
        std::fclose(csv_);
        csv_ = nullptr;
    }
    if (AttachedDevice != nullptr) {
        if (options_.Stay) {
            ReleaseAttachedDevice();
        } else {
            TellHostLeaves();
        }
    }
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
    if (options_.Quiet || !StderrIsTerminal()) return;
    const std::string& command = options_.Command;
    const bool pending = CurrentJobFlags().Raised() != 0;
    int done = 0;
    int total = 0;
    if (command == "dump") {
        done = DumpOffset, total = transfers::DumpSize;
    } else if (command == "flash read" || command == "flash write") {
        done = pending ? 0 : int(transfers::FlashBlockSize), total = int(transfers::FlashBlockSize);
    } else if (command == "image") {
        done = pending ? 0 : int(graphics::ImageBandByteCount), total = int(graphics::ImageBandByteCount);
    } else if (command == "plot") {
        done = plotReports_, total = options_.Number("--reports", 0);
    } else {
        return;
    }
    TConsoleSeams::ShowProgress(ProgressLine(command, done, total, command == "plot" ? "reports" : "bytes"));
}

// --- the plot's view -------------------------------------------------------------

void TCliRun::PaintPoints(const graphics::TPointReport& points) {
    ++plotReports_;
    if (csv_ != nullptr) {
        for (int i = 0; i < graphics::PlotPointsPerReport; ++i) {
            const auto at = 2 * std::size_t(i);
            const graphics::TPlotPixel pixel = graphics::PlotPixel(i, points[at], points[at + 1]);
            std::fprintf(csv_, "%d,%d,%d\n", plotPoint_++, pixel.X, pixel.Y);
        }
        std::fflush(csv_);
    }
}

void TCliRun::ShowNote(const QString& text) {
    if (text.isEmpty()) return;
    seams_.Failed = true;
    Tell(text);
}

}  // namespace lumidra::cli
