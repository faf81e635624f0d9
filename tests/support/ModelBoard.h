// Scenario tests against the board model: the real main window, headless, on
// the virtual bus, with a board that answers the way the real one does.
//
// The board never sends anything by itself: each Step() is one of its report
// slots (a status report between jobs, the acknowledgement after a job
// request, the answer to a Flash-ROM read, dump block or plot request), and
// returns once the window's input handler has returned from it. Whatever the
// handler sends reaches the model at once, on the same thread, so after a
// Step() the model's state already reflects the host's answer.
//
// A typical test:
//
//     class LedTest : public lumidra::testing::MainWindowModelTest {};
//
//     TEST_F(LedTest, SendCaptionShowsTheNumber) {
//         StartWithModel();                     // plugged, attached, reader waiting
//         Board->ClearWritten();                // forget the attach's reports
//         Form->Edit1->setText("ABCD");
//         Form->Button1->click();
//         EXPECT_EQ(boardmodel::LedText(Board->Model().Led()), "ABCD");
//         ExpectWire({Report({0xCD, 0xAB, 0x00, 0x01})});   // all 65 bytes
//         ExpectNoViolations();
//     }
//
//     TEST_F(DumpTest, DumpsTheBoardsMemory) {
//         StartWithModel();
//         Seams.DialogAnswers.push_back(path);  // the save dialog's answer
//         Form->Button5->click();               // StateReport byte 5 = 1
//         ASSERT_TRUE(Board->RunJob());         // ack, 64 blocks, the end
//         // compare the file with boardmodel::MemoryPattern(0..4095) ...
//     }
//
// The model (boardmodel/BoardModel.h) has the board's state: Led(), Lcd()
// (picture bands, text screen, contrast, last raw command, backlight),
// Flash(), Memory(), Inputs(), JobState(), Violations(); and its
// surroundings: SetChannel(), SetInputs(), PresentKey(), RemoveKey(),
// SetKeyStatus(), DelayAcks(), WithholdAcks(), SetPlotSource().
#pragma once

#include "boardmodel/BusBoard.h"
#include "tests/app/MainWindowFixture.h"

#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <optional>

namespace lumidra::testing {

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
    // reads within 5 s (no board attached) fails the test.
    bool Step() {
        const std::size_t reads = board_.Bus().CallCount("ReadFileEx");
        if (!board_.Step()) {
            QCoreApplication::processEvents();
            return false;
        }
        const bool handled =
            QTest::qWaitFor([&] { return board_.Bus().CallCount("ReadFileEx") > reads; }, 5000);
        EXPECT_TRUE(handled) << "the board's report was not read: is it attached?";
        return handled;
    }

    // `count` report slots (status reports between jobs).
    void Steps(int count) {
        for (int i = 0; i < count; ++i) Step();
    }

    // Steps until the model has no job requested or open: acknowledgement,
    // every answer, the end. True when it got there within `maxSlots` slots
    // (a withheld acknowledgement, or a host that never ends its job, does
    // not). Returns at once when no job is requested.
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
    // MainWindowTest::WaitForScanAfter.
    void Unplug() { board_.Unplug(); }
    void Replug() { board_.Replug(); }

private:
    boardmodel::TBusBoard board_;
};

// MainWindowTest with a model board.
class MainWindowModelTest : public MainWindowTest {
protected:
    void TearDown() override {
        Form.reset();  // the window hands the board back before it goes
        Board.reset();
        MainWindowTest::TearDown();
    }

    // Plugs a model board, starts the window and returns once the board is
    // attached and its reader waits for the first report. The attach's own
    // StateReports (backlight on) are in Board->Written().
    void StartWithModel(const hid::TVirtualBoard& description = {}) {
        const std::size_t reads = Bus.CallCount("ReadFileEx");
        Board.emplace(Bus, description);
        Start();
        ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Bus.CallCount("ReadFileEx") > reads; }, 5000));
    }

    // Every report written since the last ClearWritten, all 65 bytes.
    void ExpectWire(const TWire& expected) { EXPECT_EQ(Board->Written(), expected); }

    void ExpectNoViolations() {
        EXPECT_EQ(Board->Model().Violations(), std::vector<std::string>{});
    }

    std::optional<ModelBoard> Board;
};

}  // namespace lumidra::testing
