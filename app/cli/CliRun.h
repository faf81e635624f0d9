// One run of lumidra-cli against a board: the attach as the window does it,
// the standing state the command line gives, the one job, and the closing
// report. The job runs on the same starters and steps as the window's.
#pragma once

#include "app/JobSteps.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"
#include "app/cli/StatusText.h"
#include "graphics/PlotJob.h"
#include "hid/HidDeviceController.h"
#include "protocol/InputDecode.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumidra::hid {
class TGuiThread;
class THidPlatform;
}  // namespace lumidra::hid

namespace lumidra::cli {

// A board of the identity as `list` shows it.
struct TListedBoard {
    std::string Path, Serial, Maker, Name;
    int Version = 0;
    bool Usable = false;  // this user may read and write it
};

// One line of `list`: for people, or a JSON object (never translated).
std::string ListLine(const TListedBoard& board, bool json);

class TCliRun : public graphics::TPlotView {
public:
    // Everything the command needs from files is read here, before any board
    // is touched: a refused command sends nothing. Prepare() says whether the
    // run can go on (ExitDone) or how it ends.
    TCliRun(const TCliOptions& options, hid::THidPlatform& platform, hid::TGuiThread& gui, TConsoleSeams& seams);
    ~TCliRun() override;
    TCliRun(const TCliRun&) = delete;
    TCliRun& operator=(const TCliRun&) = delete;

    int Prepare();
    // Runs until the command is done; the exit code.
    int Exec();
    // Ctrl+C or SIGTERM: the job in hand ends on the board as its own last
    // step ends it, and the run ends with `exitCode`.
    void Interrupt(int exitCode);

    // --- the plot's view: points as CSV, or only counted ---------------------------
    void Clear() override {}
    void PaintPoints(const graphics::TPointReport& points) override;
    void ShowNote(const QString& text) override;
    bool Showing() const override { return true; }
    void Hide() override {}
    void UpdateButtons() override {}

private:
    void DeviceChange(hid::TObject* Sender);
    bool Enumerate(hid::THidDevice* HidDev, std::int32_t Idx);
    void DeviceData(hid::THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size);
    void DeviceUnplug(hid::THidDevice* HidDev);
    void DeviceCreateError(hid::THidDeviceController* Controller, hid::THidPnPInfo* PnPInfo, bool& Handled,
                           bool& RetryCreate);

    void PrintList();
    void Attach();
    std::string Operand(std::size_t index) const;

    struct TCommandSteps {
        int (TCliRun::*Prepare)();  // null: nothing to read first
        void (TCliRun::*Start)();
    };
    static const TCommandSteps* StepsOf(const std::string& command);

    // What each command reads before the board is touched.
    int PrepareImage();
    int PrepareLcdText();
    int PrepareLcdCommand();
    int PrepareFlashWrite();
    int PrepareOutput();  // flash read, dump
    int PrepareKeys();
    int PreparePlot();
    int PrepareStatus();

    // Each command's start once the board is attached.
    void StartCommand();
    void StartWatch();  // status, keys
    void StartLed();
    void StartBacklight();
    void StartContrast();
    void StartLcdCommand();
    void StartLcdText();
    void StartImage();
    void StartSplash();
    void StartFlashRead();
    void StartFlashErase();
    void StartFlashWrite();
    void StartDump();
    void StartPlot();
    void StartJob(const QString& doneText);
    void Status(const protocol::TStatusView& status);
    void CheckJobEnd();
    void JobEnded();
    void Cut(const QString& why, int exitCode);
    void Finish(int exitCode);
    bool SaveKeyBase();
    void WaitForOperator();
    void Progress();
    // A file named "-": the scratch file that goes to standard output once
    // the job succeeded.
    QString OutputFile(const std::string& name);

    const TCliOptions& options_;
    TConsoleSeams& seams_;
    std::unique_ptr<hid::THidDeviceController> controller_;
    app::TJobInputs inputs_;
    QEventLoop loop_;
    QTimer silence_;   // --timeout: a board silent mid-job
    QTimer deadline_;  // --until, --seconds
    QTemporaryDir scratch_;
    bool started_ = false;
    bool jobStarted_ = false;
    bool finished_ = false;
    int exitCode_ = ExitDone;
    std::vector<TListedBoard> listed_;
    std::vector<std::string> unusable_;  // interfaces that could not be opened

    // What the command works with.
    std::optional<graphics::TPicture> picture_;
    QString fileAnswer_;
    QString stdoutFile_;  // the scratch file that goes to standard output
    QString plotRecord_;
    std::optional<TUntil> until_;
    int statusLeft_ = 0;  // status reports still to print; 0: no limit
    int keysLeft_ = 0;
    std::string lastKey_;
    std::optional<std::u16string> keyBase_;
    bool keyBaseChanged_ = false;
    std::FILE* csv_ = nullptr;
    int plotReports_ = 0;
    int plotPoint_ = 0;
    bool verifying_ = false;
};

}  // namespace lumidra::cli
