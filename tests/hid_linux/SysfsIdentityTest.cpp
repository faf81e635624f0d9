// The platform's identity operations on recorded sysfs trees. The device
// node is /dev/null (a character device every machine has) whose device
// number the fake tree maps to a hidraw node; ioctls on it fail as on a
// non-hidraw node, so everything is answered from sysfs, as for query-only
// handles on a real node.
#include "hid/SystemCalls.h"
#include "hid/linux/HidSysfs.h"
#include "hid/linux/LinuxHidPlatform.h"
#include "tests/hid_linux/FakeSysfs.h"
#include "tests/hid_linux/Fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

namespace lumidra::hid {
namespace {

namespace fx = lumidra::testing::fixtures;
using lumidra::testing::FakeSysfs;

constexpr const char* BoardUsbUevent =
    "DRIVER=hid-generic\nHID_ID=0003:0000C04E:00002014\nHID_NAME=Lumidra Lab Demo Board\n"
    "HID_PHYS=usb-0000:00:14.0-2/input0\nHID_UNIQ=01.01\nMODALIAS=hid:b0003g0001v0000C04Ep00002014\n";
constexpr const char* BoardUhidUevent =
    "DRIVER=hid-generic\nHID_ID=0003:0000C04E:00002014\nHID_NAME=Demo board\n"
    "HID_PHYS=uhid-board/01.01\nHID_UNIQ=01.01\nMODALIAS=hid:b0003g0001v0000C04Ep00002014\n";
constexpr const char* KeyboardUevent =
    "DRIVER=hid-generic\nHID_ID=0003:0000413C:00002107\nHID_NAME=DELL Dell USB Entry Keyboard\n"
    "HID_PHYS=usb-0000:00:14.0-2/input0\nHID_UNIQ=\nMODALIAS=hid:b0003g0001v0000413Cp00002107\n";

class SysfsIdentity : public ::testing::Test {
protected:
    void SetUp() override {
        struct stat st {};
        if (::stat(NullDevice, &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/null";
        number_ = st.st_rdev;
    }

    LinuxHidPlatform MakePlatform() { return LinuxHidPlatform(LinuxHidOptions{false, false, sysfs_.Root()}); }

    void AddUsbBoard() {
        sysfs_.AddUsbNode("0003:C04E:2014.0001", BoardUsbUevent, fx::BoardReportDescriptor,
                          {fx::BoardUsbDescriptors, "Lumidra Lab", "Demo Board", "01.01", "0100"}, number_, "hidraw0");
    }

    static std::u16string Text(const std::uint16_t* words) {
        std::u16string text;
        for (int i = 0; i < 254 && words[i] != 0; ++i) text.push_back(static_cast<char16_t>(words[i]));
        return text;
    }

    static constexpr const char* NullDevice = "/dev/null";
    FakeSysfs sysfs_;
    dev_t number_ = 0;
};

TEST_F(SysfsIdentity, OtherCharacterDevicesAreNoHidrawNodes) {
    sysfs_.AddOtherNode(number_);
    EXPECT_EQ(hidraw::HidrawSysPath(sysfs_.Root(), number_), "");
    auto platform = MakePlatform();
    EXPECT_EQ(platform.Open(NullDevice, THidOpenMode::QueryOnly), InvalidHidHandle);
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND_CODE);
}

TEST_F(SysfsIdentity, UsbBoardQueryOnly) {
    AddUsbBoard();
    auto platform = MakePlatform();
    const THidHandle handle = platform.Open(NullDevice, THidOpenMode::QueryOnly);
    ASSERT_NE(handle, InvalidHidHandle);

    THidAttributes attributes;
    attributes.Size = 12;
    ASSERT_TRUE(platform.GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.Size, 12u);
    EXPECT_EQ(attributes.VendorID, 0xC04E);
    EXPECT_EQ(attributes.ProductID, 0x2014);
    EXPECT_EQ(attributes.VersionNumber, 0x0100);

    std::uint16_t words[254];
    // The device layer measures the language list by filling the buffer
    // with 0xFF first: exactly one word and a NUL must be written.
    std::memset(words, 0xFF, sizeof words);
    ASSERT_TRUE(platform.GetIndexedString(handle, 0, words, sizeof words));
    EXPECT_EQ(words[0], 0x0409);
    EXPECT_EQ(words[1], 0x0000);
    EXPECT_EQ(words[2], 0xFFFF);
    ASSERT_TRUE(platform.GetIndexedString(handle, 1, words, sizeof words));
    EXPECT_EQ(Text(words), u"Lumidra Lab");
    ASSERT_TRUE(platform.GetIndexedString(handle, 2, words, sizeof words));
    EXPECT_EQ(Text(words), u"Demo Board");
    ASSERT_TRUE(platform.GetIndexedString(handle, 3, words, sizeof words));
    EXPECT_EQ(Text(words), u"01.01");
    ASSERT_TRUE(platform.GetSerialNumberString(handle, words, sizeof words));
    EXPECT_EQ(Text(words), u"01.01");
    std::memset(words, 0x5A, sizeof words);
    EXPECT_FALSE(platform.GetIndexedString(handle, 4, words, sizeof words));
    EXPECT_EQ(platform.GetLastError(), ERROR_NOT_SUPPORTED_CODE);
    EXPECT_EQ(words[0], 0x5A5A);  // untouched

    THidPreparsedData data = 0;
    ASSERT_TRUE(platform.GetPreparsedData(handle, data));
    THidCaps caps;
    ASSERT_TRUE(platform.GetCaps(data, caps));
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(caps.OutputReportByteLength, 65);
    EXPECT_EQ(caps.FeatureReportByteLength, 0);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_EQ(caps.Usage, 0x01);
    platform.FreePreparsedData(data);
    EXPECT_FALSE(platform.GetCaps(data, caps));

    // A query-only handle reads and writes nothing.
    std::uint32_t written = 99;
    const std::uint8_t report[65] = {};
    EXPECT_FALSE(platform.WriteFile(handle, report, sizeof report, written));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED_CODE);
    EXPECT_EQ(written, 0u);
    platform.Close(handle);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(SysfsIdentity, ReadWriteHandleOnANonHidrawNodeFallsBackToSysfs) {
    AddUsbBoard();
    auto platform = MakePlatform();
    const THidHandle handle = platform.Open(NullDevice, THidOpenMode::ReadWrite);
    ASSERT_NE(handle, InvalidHidHandle);
    THidAttributes attributes;
    ASSERT_TRUE(platform.GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.VendorID, 0xC04E);
    EXPECT_EQ(attributes.VersionNumber, 0x0100);
    std::uint16_t words[254];
    ASSERT_TRUE(platform.GetSerialNumberString(handle, words, sizeof words));
    EXPECT_EQ(Text(words), u"01.01");
    const std::uint8_t report[65] = {0, 0x01};
    std::uint32_t written = 0;
    EXPECT_TRUE(platform.WriteFile(handle, report, sizeof report, written));
    EXPECT_EQ(written, 65u);
    platform.Close(handle);
}

TEST_F(SysfsIdentity, UhidBoardHasNoUsbStrings) {
    // uhid claims the USB bus but has no USB device above it.
    sysfs_.AddVirtualNode("0003:C04E:2014.0002", BoardUhidUevent, fx::BoardReportDescriptor, number_, "hidraw1");
    auto platform = MakePlatform();
    const THidHandle handle = platform.Open(NullDevice, THidOpenMode::QueryOnly);
    ASSERT_NE(handle, InvalidHidHandle);
    THidAttributes attributes;
    ASSERT_TRUE(platform.GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.VendorID, 0xC04E);
    EXPECT_EQ(attributes.ProductID, 0x2014);
    EXPECT_EQ(attributes.VersionNumber, 0);

    std::uint16_t words[254];
    EXPECT_FALSE(platform.GetIndexedString(handle, 1, words, sizeof words));
    ASSERT_TRUE(platform.GetIndexedString(handle, 2, words, sizeof words));
    EXPECT_EQ(Text(words), u"Demo board");
    ASSERT_TRUE(platform.GetSerialNumberString(handle, words, sizeof words));
    EXPECT_EQ(Text(words), u"01.01");
}

TEST_F(SysfsIdentity, KeyboardWithoutSerialNumber) {
    sysfs_.AddUsbNode("0003:413C:2107.0003", KeyboardUevent, fx::KeyboardReportDescriptor,
                      {fx::KeyboardUsbDescriptors, "DELL", "Dell USB Entry Keyboard", std::nullopt, "0178"}, number_,
                      "hidraw2");
    auto platform = MakePlatform();
    const THidHandle handle = platform.Open(NullDevice, THidOpenMode::QueryOnly);
    ASSERT_NE(handle, InvalidHidHandle);
    THidAttributes attributes;
    ASSERT_TRUE(platform.GetAttributes(handle, attributes));
    EXPECT_EQ(attributes.VendorID, 0x413C);
    EXPECT_EQ(attributes.VersionNumber, 0x0178);
    std::uint16_t words[254];
    EXPECT_FALSE(platform.GetSerialNumberString(handle, words, sizeof words));
    EXPECT_EQ(platform.GetLastError(), ERROR_NOT_SUPPORTED_CODE);
    ASSERT_TRUE(platform.GetIndexedString(handle, 2, words, sizeof words));
    EXPECT_EQ(Text(words), u"Dell USB Entry Keyboard");
    THidPreparsedData data = 0;
    THidCaps caps;
    ASSERT_TRUE(platform.GetPreparsedData(handle, data));
    ASSERT_TRUE(platform.GetCaps(data, caps));
    EXPECT_EQ(caps.InputReportByteLength, 9);
    EXPECT_EQ(caps.OutputReportByteLength, 2);
    platform.FreePreparsedData(data);
}

TEST_F(SysfsIdentity, MalformedDescriptorGivesNoPreparsedData) {
    const std::vector<std::uint8_t> cut(fx::BoardReportDescriptor.begin(), fx::BoardReportDescriptor.begin() + 13);
    sysfs_.AddVirtualNode("0003:C04E:2014.0004", BoardUhidUevent, cut, number_, "hidraw4");
    auto platform = MakePlatform();
    const THidHandle handle = platform.Open(NullDevice, THidOpenMode::QueryOnly);
    THidPreparsedData data = 0;
    EXPECT_FALSE(platform.GetPreparsedData(handle, data));
    EXPECT_EQ(data, 0);
}

TEST_F(SysfsIdentity, RemovedDeviceReportsNotConnected) {
    const auto node =
        sysfs_.AddVirtualNode("0003:C04E:2014.0005", BoardUhidUevent, fx::BoardReportDescriptor, number_, "hidraw5");
    auto platform = MakePlatform();
    const THidHandle handle = platform.Open(NullDevice, THidOpenMode::QueryOnly);
    ASSERT_NE(handle, InvalidHidHandle);
    std::filesystem::remove_all(std::filesystem::canonical(node / "device"));

    THidAttributes attributes;
    EXPECT_FALSE(platform.GetAttributes(handle, attributes));
    EXPECT_EQ(platform.GetLastError(), ERROR_DEVICE_NOT_CONNECTED_CODE);
    std::uint16_t words[254];
    EXPECT_FALSE(platform.GetIndexedString(handle, 2, words, sizeof words));
    EXPECT_EQ(platform.GetLastError(), ERROR_DEVICE_NOT_CONNECTED_CODE);
    THidPreparsedData data = 0;
    EXPECT_FALSE(platform.GetPreparsedData(handle, data));
    EXPECT_EQ(platform.GetLastError(), ERROR_DEVICE_NOT_CONNECTED_CODE);
    // And a new query-only open no longer finds the node.
    EXPECT_EQ(platform.Open(NullDevice, THidOpenMode::QueryOnly), InvalidHidHandle);
}

TEST_F(SysfsIdentity, OverlappedReadOfAnEndedStreamCompletesWithAnError) {
    // /dev/null is readable at once and at its end: the read fails as on an
    // unplugged node, with nothing transferred.
    AddUsbBoard();
    auto platform = MakePlatform();
    const THidHandle handle = platform.Open(NullDevice, THidOpenMode::OverlappedRead);
    ASSERT_NE(handle, InvalidHidHandle);
    struct Outcome {
        std::uint32_t error = 0xFFFF, count = 0xFFFF;
    } outcome;
    THidOverlapped overlapped;
    overlapped.hEvent = &outcome;
    std::uint8_t buffer[65] = {};
    ASSERT_TRUE(platform.ReadFileEx(handle, buffer, sizeof buffer, overlapped,
                                    [](std::uint32_t error, std::uint32_t count, THidOverlapped* o) {
                                        auto* out = static_cast<Outcome*>(o->hEvent);
                                        out->error = error;
                                        out->count = count;
                                    }));
    EXPECT_EQ(platform.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(outcome.error, ERROR_DEVICE_NOT_CONNECTED_CODE);
    EXPECT_EQ(outcome.count, 0u);
    platform.Close(handle);
}

// A pcapng trace places the board where sysfs says: bus, device number and
// its interrupt endpoints; a board that is not on USB keeps the defaults.
TEST_F(SysfsIdentity, UsbPlaceComesFromTheUsbDeviceAndInterface) {
    AddUsbBoard();
    const std::filesystem::path device = sysfs_.Root() + "/devices/pci0000:00/0000:00:14.0/usb1/1-2";
    FakeSysfs::Write(device / "busnum", "1\n");
    FakeSysfs::Write(device / "devnum", "7\n");
    for (const char* endpoint : {"81", "02"}) {
        FakeSysfs::Write(device / "1-2:1.0" / (std::string("ep_") + endpoint) / "bEndpointAddress",
                         std::string(endpoint) + "\n");
        FakeSysfs::Write(device / "1-2:1.0" / (std::string("ep_") + endpoint) / "type", "Interrupt\n");
    }
    const TUsbPlace place = UsbPlaceOf(NullDevice, sysfs_.Root());
    EXPECT_EQ(std::vector<int>({place.Bus, place.Device, place.EndpointOut, place.EndpointIn}),
              std::vector<int>({1, 7, 0x02, 0x81}));

    FakeSysfs other;
    other.AddVirtualNode("0003:C04E:2014.0002", BoardUhidUevent, fx::BoardReportDescriptor, number_, "hidraw1");
    const TUsbPlace defaults = UsbPlaceOf(NullDevice, other.Root());
    EXPECT_EQ(std::vector<int>({defaults.Bus, defaults.Device, defaults.EndpointOut, defaults.EndpointIn}),
              std::vector<int>({0, 1, 0x01, 0x81}));
}

}  // namespace
}  // namespace lumidra::hid
