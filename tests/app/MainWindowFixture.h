// The real main window on the virtual bus, headless, with scripted seams.
#pragma once

#include "app/AppState.h"
#include "app/QtGuiThread.h"
#include "app/Unit1.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/InputDecode.h"
#include "protocol/ProtocolState.h"
#include "tests/desktop/ScriptedSeams.h"

#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lumidra::testing {

using TWire = std::vector<std::vector<std::uint8_t>>;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        app::ResetRunState();
    }

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
    // next read only after the handler has returned.
    void Deliver(int board, const std::vector<std::uint8_t>& payload) {
        const std::size_t reads = Bus.CallCount("ReadFileEx");
        std::vector<std::uint8_t> report{0};
        report.insert(report.end(), payload.begin(), payload.end());
        Bus.Feed(board, std::move(report));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Bus.CallCount("ReadFileEx") > reads; }, 5000));
    }
    void Deliver(int board, const protocol::InputReport& payload) {
        Deliver(board, std::vector<std::uint8_t>(payload.begin(), payload.end()));
    }

    // A status report: channels, input bits, key status, key bytes 8 to 15,
    // job acknowledgement.
    static protocol::InputReport Status(int channel1, int channel2, std::uint8_t inputs = 0,
                                        std::uint8_t keyStatus = 0,
                                        std::array<std::uint8_t, 8> key = {}, std::uint8_t jobAck = 0) {
        protocol::InputReport r{};
        r[0] = static_cast<std::uint8_t>(channel1 & 0xFF);
        r[1] = static_cast<std::uint8_t>(channel1 >> 8);
        r[2] = static_cast<std::uint8_t>(channel2 & 0xFF);
        r[3] = static_cast<std::uint8_t>(channel2 >> 8);
        r[4] = inputs;
        r[5] = keyStatus;
        r[6] = jobAck;
        std::copy(key.begin(), key.end(), r.begin() + 8);
        return r;
    }

    static std::vector<std::uint8_t> Report(std::initializer_list<std::uint8_t> payload) {
        std::vector<std::uint8_t> report(protocol::OutputReportSize, 0);
        std::copy(payload.begin(), payload.end(), report.begin() + 1);
        return report;
    }

    ScriptedSeams Seams;
    hid::VirtualHidBus Bus;
    app::QtGuiThread Gui;
    std::unique_ptr<app::TForm1> Form;
};

}  // namespace lumidra::testing
