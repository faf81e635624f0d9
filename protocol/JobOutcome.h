// How a job ended, as a value. The job's own code reports it where the job
// ends; each program presents it its own way (the window in a message or a
// box, the console program as a line and an exit code), so no program has to
// read another's words back to learn whether a job succeeded.
#pragma once

#include <QString>

#include <functional>
#include <utility>

namespace lumidra::protocol {

enum class TOutcome {
    Done,     // the job did what was asked
    Failed,   // it could not; Text says why
    Cut,      // its board went before it ended; Cut says how
    Waiting,  // it waits for the operator to close what it shows, then goes on
};

// How a cut job's board went.
enum class TCut {
    BoardGone,  // the re-scan did not take the job's board again
    BoardBack,  // it did: the job was ended there
};

// Why a job failed.
enum class TFailure {
    Fault,     // something went wrong (a file, the disk)
    Refused,   // the board had another job in hand: nothing was started
    NotAsked,  // there was nothing to do (no data, a name that cannot serve)
};

struct TJobOutcome {
    TOutcome Kind = TOutcome::Done;
    QString Text;  // what the operator is told, translated; empty: nothing
    TCut Cut = TCut::BoardGone;
    TFailure Failure = TFailure::Fault;

    static TJobOutcome Done(QString text = {}) { return {TOutcome::Done, std::move(text), {}, {}}; }
    static TJobOutcome Failed(QString text, TFailure failure = TFailure::Fault) {
        return {TOutcome::Failed, std::move(text), {}, failure};
    }
    static TJobOutcome CutOff(QString text, TCut how) { return {TOutcome::Cut, std::move(text), how, {}}; }
    static TJobOutcome Waiting(QString text) { return {TOutcome::Waiting, std::move(text), {}, {}}; }
};

// Where the outcomes go; unset: as the window shows them (an error box for a
// fault, a warning box for a refusal, a message for anything else).
extern std::function<void(const TJobOutcome&)> JobOutcomeSink;

// Reports `outcome` to the program. Called where the job ends.
void ReportJobOutcome(const TJobOutcome& outcome);

}  // namespace lumidra::protocol
