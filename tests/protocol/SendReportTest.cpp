#include "protocol/Report.h"

#include "tests/protocol/AttachedBoard.h"

#include <gtest/gtest.h>

namespace lumidra::protocol {
namespace {

using SendReportTest = testing::AttachedBoard;

TEST_F(SendReportTest, SendsAllSixtyFiveBytesWithReportIdZero) {
    StateReport[0] = 0xAA;  // a caller's use of byte 0 never reaches the wire
    StateReport[1] = 0x12;
    StateReport[4] = 1;
    StateReport[64] = 0x7F;
    SendReport(StateReport);

    auto expected = Expected({0x12, 0, 0, 1});
    expected[64] = 0x7F;
    ASSERT_EQ(Wire(), (std::vector<std::vector<std::uint8_t>>{expected}));
    EXPECT_EQ(StateReport[0], 0xAA) << "the buffer itself is left as the caller set it";
}

TEST_F(SendReportTest, EachBufferGoesOutAsItStands) {
    JobReport[1] = 16;
    DataReport.fill(0x5A);
    SendReport(JobReport);
    SendReport(DataReport);

    std::vector<std::uint8_t> data(OutputReportSize, 0x5A);
    data[0] = 0;
    ASSERT_EQ(Wire(), (std::vector<std::vector<std::uint8_t>>{Expected({16}), data}));
}

TEST_F(SendReportTest, DetachedSendWritesNothingAndKeepsTheBuffer) {
    hid::THidCheckout board = std::move(AttachedDevice);
    StateReport[3] = 0x84;
    SendReport(StateReport);
    EXPECT_TRUE(Wire().empty());
    EXPECT_EQ(StateReport[3], 0x84);

    // Attached again, the next send carries what was set meanwhile.
    AttachedDevice = std::move(board);
    SendReport(StateReport);
    ASSERT_EQ(Wire(), (std::vector<std::vector<std::uint8_t>>{Expected({0, 0, 0x84})}));
}

TEST_F(SendReportTest, FailedWriteIsDroppedSilently) {
    Bus.SetFaults(BoardId, {.WriteFails = true});
    StateReport[4] = 5;
    SendReport(StateReport);
    EXPECT_EQ(Bus.CallCount("WriteFile"), 1u) << "tried once, not repeated";
    EXPECT_TRUE(Wire().empty());

    Bus.SetFaults(BoardId, {});
    SendReport(StateReport);
    ASSERT_EQ(Wire(), (std::vector<std::vector<std::uint8_t>>{Expected({0, 0, 0, 5})}));
}

TEST_F(SendReportTest, ReleaseHandsTheBoardBack) {
    SendReport(StateReport);
    ASSERT_GT(Bus.OpenHandles(BoardId), 0u);
    ReleaseAttachedDevice();
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(Bus.OpenHandles(BoardId), 0u);
    SendReport(StateReport);
    EXPECT_EQ(Wire().size(), 1u);
    ReleaseAttachedDevice();  // nothing attached: nothing happens
}

}  // namespace
}  // namespace lumidra::protocol
