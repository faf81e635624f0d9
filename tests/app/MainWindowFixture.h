// The real main window on the virtual bus, headless, with scripted seams.
#pragma once

#include "app/AppState.h"
#include "app/QtGuiThread.h"
#include "app/Unit1.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/ProtocolState.h"
#include "tests/protocol/ScriptedSeams.h"

#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lumidra::testing {

using TWire = std::vector<std::vector<std::uint8_t>>;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        protocol::ResetProtocolState();
        app::ResetAppState();
        protocol::KeyBaseSaved = true;
    }

    void TearDown() override {
        Form.reset();
        protocol::ResetProtocolState();
        app::ResetAppState();
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
