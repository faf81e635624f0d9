// One run of lumidra-cli against a board: the attach as the window does it,
// the standing state the command line gives, the command's one job, and the
// closing report. The job runs on the same starters and steps as the
// window's; what the command itself does is its unit's (CliCommand.h).
#pragma once

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"
#include "app/cli/JobExit.h"
#include "app/session/BoardSession.h"
#include "desktop/OutputFile.h"
#include "hid/HidDeviceController.h"

#include <QEventLoop>
#include <QTimer>

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

class TCliRun final : public TCommandHost {
public:
    // Everything the command needs from files is read here, before any board
    // is touched: a refused command sends nothing. Prepare() says whether the
    // run can go on (ExitDone) or how it ends.
    TCliRun(const TCliOptions& options, hid::THidPlatform& platform, hid::TGuiThread& gui, TConsoleSeams& seams);
    ~TCliRun();
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

    // --- what the command is given ----------------------------------------------------
    const TCliOptions& Options() const override { return options_; }
    TConsoleSeams& Seams() override { return seams_; }
    app::TJobInputs& Inputs() override { return inputs_; }
    const std::vector<TListedBoard>& Listed() const override { return listed_; }
    const std::vector<std::string>& Unopenable() const override { return unopenable_; }
    bool CheckOutput(desktop::TOutputFile& file, const std::string& name, desktop::TOutputFile::TForm form) override;
    bool CheckInput(const std::string& name) override;
    bool Emit(const std::string& line) override;
    void OutputFailed(const desktop::TOutputFile& file) override;
    void FailWrite(const QString& text, bool readerGone) override;
    bool Failing() const override { return failing_; }
    int FailedExit() const override { return failedExit_; }
    void StartJob() override;
    void Finish(int exitCode) override;
    void After(int ms, std::function<void()> then) override;
    void WaitForOperator(std::optional<int> seconds) override;

private:
    void DeviceChange(hid::TObject* Sender);
    bool Enumerate(hid::THidDevice* HidDev, std::int32_t Idx);
    void DeviceData(hid::THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size);
    void DeviceUnplug(hid::THidDevice* HidDev);
    void DeviceCreateError(hid::THidDeviceController* Controller, hid::THidPnPInfo* PnPInfo, bool& Handled,
                           bool& RetryCreate);

    void Attach();
    // The job's outcome as reported where it ended: told, kept for its end.
    void TakeOutcome(const protocol::TJobOutcome& outcome);
    void CheckJobEnd();
    void JobEnded();
    void Cut(const QString& why, int exitCode);
    void Progress();

    const TCliOptions& options_;
    TConsoleSeams& seams_;
    std::unique_ptr<TCliCommand> command_;
    std::unique_ptr<hid::THidDeviceController> controller_;
    std::unique_ptr<app::TBoardSession> session_;
    app::TJobInputs inputs_;
    QEventLoop loop_;
    QTimer silence_;   // --timeout: a board silent mid-job
    QTimer deadline_;  // the command's own time (--until, --seconds)
    bool started_ = false;
    bool jobStarted_ = false;
    bool finished_ = false;
    int exitCode_ = ExitDone;
    std::vector<TListedBoard> listed_;
    std::vector<std::string> unopenable_;  // interfaces of the identity that could not be opened
    desktop::TOutputFile stdout_;          // the command's lines
    // The traces' names checked, held to the end: a FIFO's reader stays.
    std::list<desktop::TOutputFile> traceChecks_;
    std::vector<std::string> outputs_;  // what tells each output checked from the others (FileIdentity)
    bool failing_ = false;              // a write failed: its cut is on its way
    int failedExit_ = ExitFailed;
    std::optional<protocol::TJobOutcome> outcome_;
    TOutcomeTaker outcomes_{[this](const protocol::TJobOutcome& outcome) { TakeOutcome(outcome); }};
};

}  // namespace lumidra::cli
