// One run of lumidra-cli against a board: the attach as the window does it,
// the standing state the command line gives, the one job, and the closing
// report. The job runs on the same starters and steps as the window's.
#pragma once

#include "app/session/BoardSession.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"
#include "app/cli/JobExit.h"
#include "app/cli/StatusText.h"
#include "desktop/OutputFile.h"
#include "graphics/PlotJob.h"
#include "hid/HidDeviceController.h"
#include "protocol/InputDecode.h"

#include <QEventLoop>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <list>
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
    // Ctrl+C, SIGTERM or SIGHUP: the job in hand ends on the board as its
    // own last step ends it, and the run ends with `exitCode`.
    void Interrupt(int exitCode);
    // Whether the run has ended (the board told), for a caller that waits.
    bool Ended() const { return finished_; }

    // Opens the run's trace once the board is found, before anything is
    // sent; false ends the run (the opener tells why).
    std::function<bool()> OpenTrace;
    // A write to `name` failed (the trace's too): the job is cut as Ctrl+C
    // cuts it, once the event in hand is done; quiet with 141 for a reader
    // gone, else told with the system's `reason`, exit 1.
    void WriteFailed(const QString& name, bool readerGone, const QString& reason);

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

    // The exit code.
    int PrintList();
    void Attach();
    std::string Operand(std::size_t index) const;

    // A job's progress: done of total (0: not known) in its unit.
    struct TProgress {
        std::int64_t Done = 0, Total = 0;
        const char* Unit = "bytes";
    };
    // What a command does; each null leaves that part out.
    struct TCommandSteps {
        int (TCliRun::*Prepare)();  // what it reads before the board is touched
        void (TCliRun::*Start)();   // its start once the board is attached; null: it lists the boards
        void (TCliRun::*Status)(const protocol::TStatusView& status);  // what it prints of a status report
        // Once its job is done: the exit code, or none while a job of its own goes on.
        std::optional<int> (TCliRun::*Ended)();
        TProgress (TCliRun::*Progress)() const;  // its progress line on a terminal
    };
    static const TCommandSteps* StepsOf(const std::string& command);
    const TCommandSteps& Steps() const;

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
    void StartJob();
    // The job's outcome as reported where it ended: told, kept for its end.
    void TakeOutcome(const protocol::TJobOutcome& outcome);
    void PrintStatus(const protocol::TStatusView& status);
    void PrintKey(const protocol::TStatusView& status);
    std::optional<int> VerifyFlashWrite();
    std::optional<int> ExpectDump();
    TProgress DumpProgress() const;
    TProgress FlashProgress() const;
    TProgress ImageProgress() const;
    TProgress PlotProgress() const;
    void CheckJobEnd();
    void JobEnded();
    void Cut(const QString& why, int exitCode);
    void Finish(int exitCode);
    bool SaveKeyBase();
    void WaitForOperator();
    void Progress();
    // A line of the command's output on standard output; false once it failed.
    bool Emit(const std::string& line);
    // `file`'s failed write: the job is cut as Ctrl+C cuts it, once the
    // event in hand is done.
    void OutputFailed(const desktop::TOutputFile& file);
    // The same with what is told (nothing for a reader gone).
    void FailWrite(const QString& text, bool readerGone);
    static int FailedWriteExit(const desktop::TOutputFile& file);
    // Checks `name` as the command's output, told when refused.
    bool CheckOutput(desktop::TOutputFile& file, const std::string& name, desktop::TOutputFile::TForm form);

    const TCliOptions& options_;
    TConsoleSeams& seams_;
    std::unique_ptr<hid::THidDeviceController> controller_;
    std::unique_ptr<app::TBoardSession> session_;
    app::TJobInputs inputs_;
    QEventLoop loop_;
    QTimer silence_;   // --timeout: a board silent mid-job
    QTimer deadline_;  // --until, --seconds
    bool started_ = false;
    bool jobStarted_ = false;
    bool finished_ = false;
    int exitCode_ = ExitDone;
    std::vector<TListedBoard> listed_;
    std::vector<std::string> unusable_;  // interfaces that could not be opened

    // What the command works with.
    std::optional<graphics::TPicture> picture_;
    QString fileAnswer_;
    std::array<std::uint8_t, 64> flashBlock_{};  // what `flash write` writes
    QString plotRecord_;
    std::optional<TUntil> until_;
    std::int64_t statusLeft_ = 0;  // status reports still to print; 0: no limit
    std::int64_t keysLeft_ = 0;
    std::string lastKey_;
    std::optional<std::u16string> keyBase_;
    bool keyBaseChanged_ = false;
    desktop::TOutputFile stdout_;  // status, keys and list lines
    // The traces' names checked, held to the end: a FIFO's reader stays.
    std::list<desktop::TOutputFile> traceChecks_;
    desktop::TOutputFile csv_;
    bool failing_ = false;  // a write failed: its cut is on its way
    int failedExit_ = ExitFailed;
    std::int64_t plotReports_ = 0;
    std::int64_t plotPoint_ = 0;
    bool verifying_ = false;
    std::optional<protocol::TJobOutcome> outcome_;
    QString waitTold_;  // what is told for the splash box, which has no button here
    TOutcomeTaker outcomes_{[this](const protocol::TJobOutcome& outcome) { TakeOutcome(outcome); }};
};

}  // namespace lumidra::cli
