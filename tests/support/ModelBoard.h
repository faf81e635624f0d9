// The board model on the in-process bus, stepped one report slot at a time
// under a window that reads it on the GUI thread (Qt's loop): each Step()
// returns once the window's input handler has returned from the report, so
// the model's state already reflects the host's answer. How a scenario test
// uses it: boardmodel/README.md.
#pragma once

#include "boardmodel/BusBoard.h"
#include "tests/support/Failure.h"

#include <QtTest/QTest>

#include <cstdint>
#include <vector>

namespace lumidra::testing {

// Output reports as the host wrote them, 65 bytes each (report ID first).
using TWire = std::vector<std::vector<std::uint8_t>>;

class ModelBoard {
public:
    // Plugs a model board (the real board's identity unless `description`
    // says otherwise) into `bus`.
    explicit ModelBoard(hid::VirtualHidBus& bus, const hid::TVirtualBoard& description = {})
        : board_(bus, description) {}

    boardmodel::TBoardModel& Model() { return board_.Model(); }
    boardmodel::TBusBoard& Bus() { return board_; }
    int Id() const { return board_.Id(); }

    // One report slot. Returns true once the window's handler has returned
    // from the report; false when the model had nothing to send (it waits
    // for the host inside a job) or the board is unplugged. A report nobody
    // reads within 5 s (no board attached) is a failure (Failure.h).
    bool Step() {
        const std::size_t reads = board_.Bus().CallCount("ReadFileEx");
        if (!board_.Step()) {
            QCoreApplication::processEvents();
            return false;
        }
        const bool handled = QTest::qWaitFor([&] { return board_.Bus().CallCount("ReadFileEx") > reads; }, 5000);
        if (!handled) Fail("the board's report was not read: is it attached?");
        return handled;
    }

    // `count` report slots (status reports between jobs).
    void Steps(int count) {
        for (int i = 0; i < count; ++i) Step();
    }

    // Steps until the model has no job requested or open: acknowledgement,
    // every answer, the end. True when it got there within `maxSlots` slots
    // (a withheld acknowledgement, or a host that never ends its job, does
    // not; nor does a plot, which runs until the host stops it: step a plot
    // with Step(), one point report a slot). Returns at once when no job is
    // requested.
    bool RunJob(int maxSlots = 500) {
        for (int i = 0; i < maxSlots && Model().JobState() != boardmodel::TJobState::Idle; ++i) {
            // Silent slots inside a job: the host is still busy with the
            // last report (a modal message of a job step, say).
            if (!Step()) QTest::qWait(1);
        }
        return Model().JobState() == boardmodel::TJobState::Idle;
    }

    // Every output report the window wrote to this board, as written (65
    // bytes, report ID first), and forgetting them.
    TWire Written() const { return board_.Written(); }
    void ClearWritten() { board_.Bus().ClearWritten(board_.Id()); }

    // Pulls the cable / plugs it back after a power cycle (Flash-ROM and
    // memory keep their bytes). The window notices on its next re-scan:
    // WaitForScanAfter (tests/app/MainWindowFixture.h).
    void Unplug() { board_.Unplug(); }
    void Replug() { board_.Replug(); }

private:
    boardmodel::TBusBoard board_;
};

}  // namespace lumidra::testing
