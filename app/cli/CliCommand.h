// One command of lumidra-cli: what it reads before the board is touched, its
// start once the board is attached, what it prints, and how it ends. The run
// it works in (TCommandHost) holds the board session, the timers, standard
// output and the exit code; a command holds only what it works with.
#pragma once

#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"
#include "app/session/JobSteps.h"
#include "desktop/OutputFile.h"
#include "protocol/InputDecode.h"
#include "protocol/JobOutcome.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumidra::cli {

// A board of the identity as `list` shows it.
struct TListedBoard {
    std::string Path, Serial, Maker, Name;
    int Version = 0;
    bool Usable = false;  // this user may read and write it
};

// A job's progress: done of total (0: not known) in its unit.
struct TProgress {
    std::int64_t Done = 0, Total = 0;
    const char* Unit = "bytes";
};

// A job of one request: nothing done of `total` while it is unanswered,
// all of it after.
TProgress OneRequestProgress(std::int64_t total);

// What the run gives its command.
class TCommandHost {
public:
    virtual const TCliOptions& Options() const = 0;
    virtual TConsoleSeams& Seams() = 0;
    // What the job steps read from the command.
    virtual app::TJobInputs& Inputs() = 0;
    // The boards the enumeration saw, for a command that lists them: those of
    // the identity, and the nodes of the identity that could not be opened.
    virtual const std::vector<TListedBoard>& Listed() const = 0;
    virtual const std::vector<std::string>& Unopenable() const = 0;

    // Checks `name` as the command's output, told when refused: also when
    // the run writes to that file already (a trace, another output).
    virtual bool CheckOutput(desktop::TOutputFile& file, const std::string& name, desktop::TOutputFile::TForm form) = 0;
    // Whether `name` may be read as an input: not a file the run writes, told
    // when refused.
    virtual bool CheckInput(const std::string& name) = 0;
    // A line of the command's output on standard output; false once a write
    // failed (the run is on its way to its end).
    virtual bool Emit(const std::string& line) = 0;
    // `file`'s failed write: the job is cut as Ctrl+C cuts it, once the event
    // in hand is done.
    virtual void OutputFailed(const desktop::TOutputFile& file) = 0;
    // The same with what is told (nothing for a reader gone).
    virtual void FailWrite(const QString& text, bool readerGone) = 0;
    // Whether a write has failed; the exit code it gives.
    virtual bool Failing() const = 0;
    virtual int FailedExit() const = 0;

    // A job has been asked of the board: the run follows it to its end.
    virtual void StartJob() = 0;
    // Ends the run with `exitCode` (the job's end and the closing report sent).
    virtual void Finish(int exitCode) = 0;
    // Runs `then` once, `ms` from now, unless the run has ended.
    virtual void After(int ms, std::function<void()> then) = 0;
    // Handles the board's reports until the operator answers (Enter, or the
    // end of input) or `seconds` have passed.
    virtual void WaitForOperator(std::optional<int> seconds) = 0;

protected:
    ~TCommandHost() = default;
};

class TCliCommand {
public:
    explicit TCliCommand(TCommandHost& host) : host_(host) {}
    virtual ~TCliCommand() = default;
    TCliCommand(const TCliCommand&) = delete;
    TCliCommand& operator=(const TCliCommand&) = delete;

    // Whether it only lists the boards: nothing is attached, Start() prints.
    virtual bool Lists() const { return false; }
    // What it reads before any board is touched: ExitDone to go on, else the
    // run's exit code (told).
    virtual int Prepare() { return ExitDone; }
    // Its start once the board is attached.
    virtual void Start() = 0;
    // What it makes of a status report.
    virtual void Status(const protocol::TStatusView& /*status*/) {}
    // After each of its job's steps.
    virtual void Stepped() {}
    // Once its job has ended well: the exit code, or none while a job of its
    // own goes on.
    virtual std::optional<int> Ended() { return ExitDone; }
    // Its progress line on a terminal; none: it shows none.
    virtual std::optional<TProgress> Progress() const { return std::nullopt; }
    // Its job waits for the operator: told (unless quiet), and waited for.
    virtual void Waiting(const protocol::TJobOutcome& outcome);
    // At the run's end, Ctrl+C too: false when what it keeps could not be
    // kept (told).
    virtual bool Keep() { return true; }

protected:
    const TCliOptions& Options() const { return host_.Options(); }
    // The command's operand as text (a file's name, an LCD text).
    QString OperandText(std::size_t index = 0) const { return ArgumentText(Options().Operand(index)); }

    TCommandHost& host_;
};

}  // namespace lumidra::cli
