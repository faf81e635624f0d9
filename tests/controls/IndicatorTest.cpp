// What the indicator and backlight boxes put on the wire.
#include "controls/LcdPanel.h"
#include "controls/LedDisplay.h"
#include "tests/protocol/AttachedBoard.h"

#include <gtest/gtest.h>

namespace lumidra::controls {
namespace {

using protocol::StateReport;

using StateReportSendsTest = testing::AttachedBoard;

TEST_F(StateReportSendsTest, IndicatorsSetAndClearTheirBitOnly) {
    StateReport[1] = 0x59;
    StateReport[2] = 0x23;
    StateReport[3] = 0x02;  // date shown
    StateReport[4] = 1;
    CheckBox2Click(true);
    CheckBox1Click(true);
    CheckBox2Click(false);
    CheckBox1Click(false);
    ASSERT_EQ(Wire(), (std::vector<std::vector<std::uint8_t>>{
                          Expected({0x59, 0x23, 0x82, 1}), Expected({0x59, 0x23, 0x86, 1}),
                          Expected({0x59, 0x23, 0x06, 1}), Expected({0x59, 0x23, 0x02, 1})}));
}

TEST_F(StateReportSendsTest, BacklightWritesTheCommandByteAndKeepsTheRest) {
    StateReport[1] = 0xCD;
    StateReport[2] = 0xAB;
    StateReport[3] = 0x84;
    StateReport[5] = 1;  // a job request still pending goes out with it
    CheckLightClick(false);
    CheckLightClick(true);
    ASSERT_EQ(Wire(), (std::vector<std::vector<std::uint8_t>>{Expected({0xCD, 0xAB, 0x84, 5, 1}),
                                                              Expected({0xCD, 0xAB, 0x84, 1, 1})}));
}

TEST_F(StateReportSendsTest, DetachedTheBufferStillChanges) {
    protocol::ReleaseAttachedDevice();
    CheckBox1Click(true);
    CheckLightClick(false);
    EXPECT_TRUE(Wire().empty());
    EXPECT_EQ(StateReport[3], 0x04);
    EXPECT_EQ(StateReport[4], 5);
}

}  // namespace
}  // namespace lumidra::controls
