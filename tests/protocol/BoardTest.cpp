#include "protocol/Board.h"

#include "hid/HidDeviceController.h"
#include "hid/virtual/VirtualHidBus.h"
#include "tests/support/TestGuiThread.h"

#include <gtest/gtest.h>

namespace lumidra::protocol {
namespace {

TEST(DeviceIdentityLine, ProductIdsSerialAndManufacturer) {
    EXPECT_EQ(DeviceIdentityLine(QStringLiteral("P"), 0xC04E, 0x2014, QStringLiteral("01.01"), QStringLiteral("M")),
              QStringLiteral("P, VID=C04E, PID=2014, Ver=01.01, ID=M"));
    EXPECT_EQ(DeviceIdentityLine(QString(), 0x000A, 0x0B00, QString(), QString()),
              QStringLiteral(", VID=000A, PID=0B00, Ver=, ID="));
}

struct TIdentityCase {
    const char* Name;
    hid::TVirtualBoard Board;
    bool IsTheBoard;
    friend void PrintTo(const TIdentityCase& c, std::ostream* os) { *os << c.Name; }
};

class IsBoardTest : public ::testing::TestWithParam<TIdentityCase> {};

TEST_P(IsBoardTest, IdsAndSerialMustAllMatch) {
    hid::VirtualHidBus bus;
    testing::TestGuiThread gui;
    hid::THidDeviceController controller(nullptr, bus, gui);
    bus.Plug(GetParam().Board);
    ASSERT_TRUE(gui.RunUntil([&] { return controller.Devices().size() == 1; }));
    // Checked out, as the window has it when it asks: only then may it be opened.
    hid::THidDevice* device = nullptr;
    ASSERT_TRUE(controller.ClaimByIndex(device, 0));
    bus.ResetCallCounts();

    EXPECT_EQ(IsBoard(*device), GetParam().IsTheBoard);
    if (device->Identity().VendorID != BoardVendorID || device->Identity().ProductID != BoardProductID) {
        EXPECT_EQ(bus.CallCount("GetSerialNumberString"), 0u) << "another device is never opened";
    }
    delete device;
}

hid::TVirtualBoard With(std::uint16_t vid, std::uint16_t pid, std::u16string serial) {
    hid::TVirtualBoard board;
    board.VendorID = vid;
    board.ProductID = pid;
    board.Serial = std::move(serial);
    return board;
}

INSTANTIATE_TEST_SUITE_P(Identities, IsBoardTest,
                         ::testing::Values(TIdentityCase{"Board", With(0xC04E, 0x2014, u"01.01"), true},
                                           TIdentityCase{"OtherSerial", With(0xC04E, 0x2014, u"01.02"), false},
                                           TIdentityCase{"LongerSerial", With(0xC04E, 0x2014, u"01.01 "), false},
                                           TIdentityCase{"ShorterSerial", With(0xC04E, 0x2014, u"01.0"), false},
                                           TIdentityCase{"NoSerial", With(0xC04E, 0x2014, u""), false},
                                           TIdentityCase{"OtherProduct", With(0xC04E, 0x2015, u"01.01"), false},
                                           TIdentityCase{"OtherVendor", With(0x04E6, 0x2014, u"01.01"), false}),
                         [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::protocol
