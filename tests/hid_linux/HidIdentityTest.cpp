#include "hid/linux/HidIdentity.h"
#include "tests/hid_linux/Fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace lumidra::hid::hidraw {
namespace {

namespace fx = lumidra::testing::fixtures;

// The uevent file of the virtual board's HID device, as the kernel writes it.
constexpr const char* BoardUevent =
    "DRIVER=hid-generic\n"
    "HID_ID=0003:0000C04E:00002014\n"
    "HID_NAME=Demo board\n"
    "HID_PHYS=uhid-board/01.01\n"
    "HID_UNIQ=01.01\n"
    "MODALIAS=hid:b0003g0001v0000C04Ep00002014\n";

TEST(Uevent, ParsesKeyValueLines) {
    const auto properties = ParseUevent(BoardUevent);
    EXPECT_EQ(properties.size(), 6u);
    EXPECT_EQ(properties.at("HID_NAME"), "Demo board");
    EXPECT_EQ(properties.at("MODALIAS"), "hid:b0003g0001v0000C04Ep00002014");
}

TEST(Uevent, KeepsEmptyValuesAndEqualsSignsAndSkipsJunk) {
    const auto properties = ParseUevent("HID_UNIQ=\nA=b=c\r\nno equals sign\n=orphan\n\nLAST=1");
    EXPECT_EQ(properties.at("HID_UNIQ"), "");
    EXPECT_EQ(properties.at("A"), "b=c");
    EXPECT_EQ(properties.at("LAST"), "1");
    EXPECT_EQ(properties.size(), 3u);
}

TEST(HidId, ParsesBusVendorAndProduct) {
    const auto id = ParseHidId("0003:0000C04E:00002014");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->Bus, BusUsb);
    EXPECT_EQ(id->VendorID, 0xC04E);
    EXPECT_EQ(id->ProductID, 0x2014);

    const auto bluetooth = ParseHidId("0005:0000046d:0000b01a");
    ASSERT_TRUE(bluetooth);
    EXPECT_EQ(bluetooth->Bus, BusBluetooth);
    EXPECT_EQ(bluetooth->VendorID, 0x046D);
    EXPECT_EQ(bluetooth->ProductID, 0xB01A);
}

TEST(HidId, RejectsMalformedValues) {
    for (const char* bad : {"", "0003", "0003:0000C04E", "0003:0000C04E:", "0003:00G0C04E:00002014",
                            "0003:0001C04E:00002014", "0003:0000C04E:00002014:1", "000000003:0000C04E:00002014"})
        EXPECT_FALSE(ParseHidId(bad)) << bad;
}

TEST(UsbStringIndexes, ReadFromTheDeviceDescriptor) {
    const auto board = ParseUsbStringIndexes(fx::BoardUsbDescriptors);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->Manufacturer, 1);
    EXPECT_EQ(board->Product, 2);
    EXPECT_EQ(board->SerialNumber, 3);

    const auto shuffled = ParseUsbStringIndexes(fx::ShuffledUsbDescriptors);
    ASSERT_TRUE(shuffled);
    EXPECT_EQ(shuffled->Manufacturer, 4);
    EXPECT_EQ(shuffled->Product, 14);
    EXPECT_EQ(shuffled->SerialNumber, 3);
}

TEST(UsbStringIndexes, RejectWhatIsNoDeviceDescriptor) {
    std::vector<std::uint8_t> shortOne(fx::BoardUsbDescriptors.begin(), fx::BoardUsbDescriptors.begin() + 17);
    EXPECT_FALSE(ParseUsbStringIndexes(shortOne));
    auto wrongType = fx::BoardUsbDescriptors;
    wrongType[1] = 0x02;  // a configuration descriptor first
    EXPECT_FALSE(ParseUsbStringIndexes(wrongType));
    auto wrongLength = fx::BoardUsbDescriptors;
    wrongLength[0] = 0x09;
    EXPECT_FALSE(ParseUsbStringIndexes(wrongLength));
}

THidNodeIdentity UsbIdentity(const std::vector<std::uint8_t>& descriptors, std::optional<std::string> manufacturer,
                             std::optional<std::string> product, std::optional<std::string> serial) {
    THidNodeIdentity identity;
    identity.Id = THidId{BusUsb, 0xC04E, 0x2014};
    TUsbDeviceInfo usb;
    usb.Indexes = *ParseUsbStringIndexes(descriptors);
    usb.Manufacturer = std::move(manufacturer);
    usb.Product = std::move(product);
    usb.SerialNumber = std::move(serial);
    identity.Usb = usb;
    return identity;
}

TEST(IndexedString, UsbStringsAnswerTheIndexesTheirDescriptorNames) {
    const auto board = UsbIdentity(fx::BoardUsbDescriptors, "Lumidra Lab", "Demo Board", "01.01");
    EXPECT_EQ(IndexedString(board, 1), u"Lumidra Lab");
    EXPECT_EQ(IndexedString(board, 2), u"Demo Board");
    EXPECT_EQ(IndexedString(board, 3), u"01.01");
    EXPECT_FALSE(IndexedString(board, 4));
    EXPECT_FALSE(IndexedString(board, 0x101));  // string indexes are bytes

    const auto shuffled = UsbIdentity(fx::ShuffledUsbDescriptors, "Maker", "Gadget", "SN1");
    EXPECT_EQ(IndexedString(shuffled, 4), u"Maker");
    EXPECT_EQ(IndexedString(shuffled, 14), u"Gadget");
    EXPECT_EQ(IndexedString(shuffled, 3), u"SN1");
    EXPECT_FALSE(IndexedString(shuffled, 1));
    EXPECT_FALSE(IndexedString(shuffled, 2));
}

TEST(IndexedString, LanguageListOnlyWhenTheDeviceHasAString) {
    const auto board = UsbIdentity(fx::BoardUsbDescriptors, "Lumidra Lab", std::nullopt, std::nullopt);
    EXPECT_EQ(IndexedString(board, 0), std::u16string(1, u'\x0409'));
    // The descriptor names strings the kernel could not read: none exist.
    const auto silent = UsbIdentity(fx::BoardUsbDescriptors, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_FALSE(IndexedString(silent, 0));
    EXPECT_FALSE(IndexedString(silent, 1));
    // A string file without an index naming it does not count either.
    const auto keyboard = UsbIdentity(fx::KeyboardUsbDescriptors, std::nullopt, std::nullopt, "stray");
    EXPECT_FALSE(IndexedString(keyboard, 0));
    EXPECT_FALSE(IndexedString(keyboard, 3));
}

TEST(IndexedString, NodesWithoutUsbDeviceUseHidNameAndUniq) {
    const auto identity = IdentityFromProperties(ParseUevent(BoardUevent));
    ASSERT_FALSE(identity.Usb);
    EXPECT_FALSE(IndexedString(identity, 1));
    EXPECT_EQ(IndexedString(identity, NonUsbProductIndex), u"Demo board");
    EXPECT_EQ(IndexedString(identity, NonUsbSerialIndex), u"01.01");
    EXPECT_EQ(IndexedString(identity, 0), std::u16string(1, u'\x0409'));

    const auto nameless = IdentityFromProperties(ParseUevent("HID_ID=0005:0000046D:0000B01A\nHID_NAME=\n"));
    EXPECT_FALSE(IndexedString(nameless, 0));
    EXPECT_FALSE(IndexedString(nameless, NonUsbProductIndex));
}

TEST(SerialNumber, HidUniqFirstThenUsbSerial) {
    EXPECT_EQ(SerialNumberString(IdentityFromProperties(ParseUevent(BoardUevent))), u"01.01");
    auto usb = UsbIdentity(fx::BoardUsbDescriptors, "M", "P", "A1B2");
    EXPECT_EQ(SerialNumberString(usb), u"A1B2");
    usb.Uniq = "from-uniq";
    EXPECT_EQ(SerialNumberString(usb), u"from-uniq");
    EXPECT_FALSE(SerialNumberString(UsbIdentity(fx::KeyboardUsbDescriptors, "M", "P", std::nullopt)));
}

TEST(Utf8ToUtf16, ConvertsAllPlanesAndReplacesMalformedInput) {
    EXPECT_EQ(Utf8ToUtf16("01.01"), u"01.01");
    EXPECT_EQ(Utf8ToUtf16("\xD0\x9F\xD0\xBB\xD0\xB0\xD1\x82\xD0\xB0"), u"\u041F\u043B\u0430\u0442\u0430");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");  // surrogate pair
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFD"
              "b");
    EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");        // cut sequence
    EXPECT_EQ(Utf8ToUtf16("\xC3(x"), u"\uFFFD(x");      // bad continuation
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");      // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
}

TEST(CopyWideString, WritesTextAndNulWhenThereIsRoom) {
    unsigned char buffer[508];
    std::memset(buffer, 0xFF, sizeof buffer);
    ASSERT_TRUE(CopyWideString(u"01.01", buffer, sizeof buffer));
    const unsigned char expected[] = {'0', 0, '1', 0, '.', 0, '0', 0, '1', 0, 0, 0, 0xFF};
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof expected), 0);
}

TEST(CopyWideString, TruncatesWithoutNulAndHandlesOddSizesAndAlignment) {
    unsigned char buffer[9];
    std::memset(buffer, 0xEE, sizeof buffer);
    // 7 bytes hold three characters; the odd byte and the rest stay untouched.
    ASSERT_TRUE(CopyWideString(u"ABCDEF", buffer + 1, 7));
    const unsigned char expected[] = {0xEE, 'A', 0, 'B', 0, 'C', 0, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof expected), 0);
}

TEST(CopyWideString, LeavesTheBufferUntouchedWhenNothingFits) {
    unsigned char buffer[2] = {0xAB, 0xCD};
    EXPECT_FALSE(CopyWideString(u"x", buffer, 1));
    EXPECT_FALSE(CopyWideString(u"x", nullptr, 508));
    EXPECT_EQ(buffer[0], 0xAB);
    EXPECT_EQ(buffer[1], 0xCD);
}

}  // namespace
}  // namespace lumidra::hid::hidraw
