// The real main window on the virtual bus, headless, with scripted seams;
// and the same with the board model plugged in (MainWindowModelTest).
#pragma once

#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/Unit1.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/InputDecode.h"
#include "protocol/ProtocolState.h"
#include "tests/support/ModelBoard.h"
#include "tests/support/Reports.h"
#include "tests/support/ScriptedSeams.h"

#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumidra::testing {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { app::ResetRunState(); }

    void TearDown() override {
        Form.reset();
        app::ResetRunState();
    }

    // Creates and shows the window; its first re-scan is queued, not run.
    void Start() {
        Form = std::make_unique<app::TForm1>(Bus, Gui);
        Form->show();
    }

    std::size_t Scans() const { return Bus.CallCount("ListInterfaces"); }

    // Runs the event loop until the re-scan after `scansBefore` has run,
    // handlers included (they run inside the same delivery).
    void WaitForScanAfter(std::size_t scansBefore) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return Scans() > scansBefore; }, 5000));
        QCoreApplication::processEvents();
    }

    // Starts the window and lets its first re-scan run.
    void StartAndScan() {
        const std::size_t before = Scans();
        Start();
        WaitForScanAfter(before);
    }

    int PlugAndScan(const hid::TVirtualBoard& board = {}) {
        const std::size_t before = Scans();
        const int id = Bus.Plug(board);
        WaitForScanAfter(before);
        return id;
    }

    void UnplugAndScan(int id) {
        const std::size_t before = Scans();
        Bus.Unplug(id);
        WaitForScanAfter(before);
    }

    // Turns the loop a while, for checks that nothing more happens.
    static void Settle() { QTest::qWait(100); }

    // Plugs `board`, starts the window and returns once the board is attached
    // and its reader waits for the first input report.
    int StartAttached(const hid::TVirtualBoard& board = {}) {
        const std::size_t reads = Bus.CallCount("ReadFileEx");
        const int id = Bus.Plug(board);
        Start();
        EXPECT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Bus.CallCount("ReadFileEx") > reads; }, 5000));
        return id;
    }

    // Feeds one input report (report ID 0, then `payload`) and runs the loop
    // until the window's handler has returned from it: the reader starts its
    // next read only after the handler has returned. What it shows waits for
    // the frame.
    void Handle(int board, std::span<const std::uint8_t> payload) {
        const std::size_t reads = Bus.CallCount("ReadFileEx");
        Bus.Feed(board, AsRead(payload));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Bus.CallCount("ReadFileEx") > reads; }, 5000));
    }
    // Handle, and what the report shows is shown then, without waiting for
    // the frame.
    void Deliver(int board, const std::vector<std::uint8_t>& payload) {
        Handle(board, payload);
        Form->ShowPendingStatus();
    }
    void Deliver(int board, const protocol::InputReport& payload) {
        Deliver(board, std::vector<std::uint8_t>(payload.begin(), payload.end()));
    }

    ScriptedSeams Seams;
    hid::VirtualHidBus Bus;
    app::QtGuiThread Gui;
    std::unique_ptr<app::TForm1> Form;
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

    // StartWithModel with `folder` as the start folder, where the window's
    // files (plot records, the dialogs' answers) go.
    void StartWithModelIn(const QTemporaryDir& folder) {
        ASSERT_TRUE(folder.isValid());
        protocol::StartFolder = folder.path();
        StartWithModel();
    }

    // The model's next report through the window's handler, what it shows
    // shown then, without waiting for the frame; false when none came.
    bool StepShown() {
        const bool stepped = Board->Step();
        Form->ShowPendingStatus();
        return stepped;
    }

    // Every report written since the last ClearWritten, all 65 bytes.
    void ExpectWire(const TWire& expected) { EXPECT_EQ(Board->Written(), expected); }

    void ExpectNoViolations() { EXPECT_EQ(Board->Model().Violations(), std::vector<std::string>{}); }

    std::optional<ModelBoard> Board;
};

}  // namespace lumidra::testing
