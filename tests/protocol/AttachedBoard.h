// A board on the virtual bus, checked out through a real controller and set
// as AttachedDevice, for tests of what the protocol sends. No window: the
// controller's notifications are pumped by hand.
#pragma once

#include "hid/HidDeviceController.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/ProtocolState.h"
#include "tests/support/TestGuiThread.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lumidra::testing {

class AttachedBoard : public ::testing::Test {
protected:
    void SetUp() override {
        protocol::ResetProtocolState();
        BoardId = Bus.Plug(hid::TVirtualBoard{});
        ASSERT_TRUE(Gui.RunUntil([&] { return Controller.Devices().size() == 1; }));
        hid::THidDevice* device = nullptr;
        ASSERT_TRUE(Controller.ClaimByIndex(device, 0));
        protocol::AttachedDevice = hid::THidCheckout(device);
    }

    void TearDown() override {
        protocol::ReleaseAttachedDevice();
        protocol::ResetProtocolState();
    }

    // Every report the board received so far.
    std::vector<std::vector<std::uint8_t>> Wire() const { return Bus.Written(BoardId); }

    // A 65-byte report as it must appear on the wire: byte 0 = 0, the given
    // payload bytes from byte 1 on, zeros after them.
    static std::vector<std::uint8_t> Expected(std::initializer_list<std::uint8_t> payload) {
        std::vector<std::uint8_t> report(protocol::OutputReportSize, 0);
        std::copy(payload.begin(), payload.end(), report.begin() + 1);
        return report;
    }

    hid::VirtualHidBus Bus;
    TestGuiThread Gui;
    hid::THidDeviceController Controller{nullptr, Bus, Gui};
    int BoardId = 0;
};

}  // namespace lumidra::testing
