// The USB gadget board's configfs layout, checked without a kernel.
#include "tools/virtual-board/GadgetLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumidra::vboard {
namespace {

using K = TGadgetEntry::TKind;

// The whole layout for a decoy with its own strings, IDs and function: made
// in an order configfs accepts (each folder before what is in it, the
// function before the link to it), the IDs and numbers as configfs reads
// them, the descriptor byte for byte.
TEST(GadgetLayout, MakesTheBoardsDeviceStringsFunctionAndConfiguration) {
    TBoardIdentity decoy;
    decoy.Name = "Demo Board";
    decoy.Maker = "Lab";
    decoy.Serial = "01.02";
    decoy.Vendor = 0xC04E;
    decoy.Product = 0x0A0B;
    decoy.Version = 0x0100;
    const std::vector<std::uint8_t> descriptor{0x06, 0x00, 0xFF, 0x00, 0xC0};
    const hid::TUsbHidFunction function{
        .Subclass = 1, .Protocol = 2, .ReportLength = 8, .MaxPowerMilliamps = 500, .ReportDescriptor = descriptor};
    const std::vector<TGadgetEntry> expected{
        {K::Directory, "", ""},
        {K::File, "idVendor", "0xc04e"},
        {K::File, "idProduct", "0x0a0b"},
        {K::File, "bcdDevice", "0x0100"},
        {K::Directory, "strings/0x409", ""},
        {K::File, "strings/0x409/manufacturer", "Lab"},
        {K::File, "strings/0x409/product", "Demo Board"},
        {K::File, "strings/0x409/serialnumber", "01.02"},
        {K::Directory, "functions/hid.board", ""},
        {K::File, "functions/hid.board/protocol", "2"},
        {K::File, "functions/hid.board/subclass", "1"},
        {K::File, "functions/hid.board/report_length", "8"},
        {K::File, "functions/hid.board/report_desc", std::string("\x06\x00\xFF\x00\xC0", 5)},
        {K::File, "max_speed", "full-speed"},
        {K::Directory, "configs/c.1", ""},
        {K::File, "configs/c.1/MaxPower", "500"},
        {K::Link, "configs/c.1/hid.board", "functions/hid.board"},
    };
    EXPECT_EQ(GadgetLayout(decoy, function), expected);
}

TEST(GadgetLayout, TeardownUnlinksThenRemovesFoldersInnermostFirst) {
    const auto layout = GadgetLayout(TBoardIdentity{}, hid::BoardHidFunction);
    const std::vector<TGadgetEntry> expected{
        {K::Link, "configs/c.1/hid.board", "functions/hid.board"},
        {K::Directory, "configs/c.1", ""},
        {K::Directory, "functions/hid.board", ""},
        {K::Directory, "strings/0x409", ""},
        {K::Directory, "", ""},
    };
    EXPECT_EQ(GadgetTeardown(layout), expected);
    EXPECT_EQ(GadgetTeardown({layout.begin(), layout.begin() + 5}),
              (std::vector<TGadgetEntry>{expected[3], expected[4]}))
        << "a gadget made halfway comes apart as far as it was made";
}

// A real controller's host is another machine: no node to look for here.
TEST(GadgetLayout, HostPhysPrefixPairsTheSoftwareBusControllers) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"dummy_udc.0", "usb-dummy_hcd.0-"},
        {"dummy_udc.12", "usb-dummy_hcd.12-"},
        {"dummy_udc.", std::nullopt},
        {"fe980000.usb", std::nullopt},
    };
    for (const auto& [udc, prefix] : cases) EXPECT_EQ(HostPhysPrefix(udc), prefix) << udc;
}

}  // namespace
}  // namespace lumidra::vboard
