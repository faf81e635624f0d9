// The device object: creation and its failures, strings and the serial-number
// rule, capabilities, writes on the wire, sleep time, reader start and stop.
#include "HidTestSupport.h"

#include <cstring>

namespace lumidra::hid::testing {
namespace {

// ---------------------------------------------------------------------------
// Creation

class DeviceCreation : public HidTest {
protected:
    THidInterfaceRecord Record(const std::string& path) {
        THidInterfaceRecord record;
        record.InstanceHandle = 77;
        record.InterfacePath = path;
        return record;
    }
};

TEST_F(DeviceCreation, IdentifiesTheDeviceAndClosesItAgain) {
    TVirtualBoard board = Board("A");
    board.VendorID = 0xC04E;
    board.ProductID = 0x2014;
    board.VersionNumber = 0x0213;
    const int id = Bus.Plug(board);
    Started();
    ASSERT_EQ(Controller->Devices().size(), 1u);
    THidDevice* d = Controller->Devices()[0];
    EXPECT_EQ(d->Identity().Size, 12u);
    EXPECT_EQ(d->Identity().VendorID, 0xC04E);
    EXPECT_EQ(d->Identity().ProductID, 0x2014);
    EXPECT_EQ(d->Identity().VersionNumber, 0x0213);
    EXPECT_TRUE(d->Present());
    EXPECT_FALSE(d->Claimed());
    EXPECT_FALSE(d->Offered());
    EXPECT_TRUE(d->ReadWriteGranted());
    EXPECT_EQ(d->SleepTime(), 100);
    EXPECT_EQ(Bus.OpenHandles(id), 0u);
    EXPECT_EQ(d->MainHandle(), InvalidHidHandle);
    EXPECT_EQ(d->DataHandler(), Events.DataEvent());
    EXPECT_EQ(d->DataErrorHandler(), Events.ErrorEvent());
    EXPECT_EQ(d->UnplugHandler(), Events.UnplugEvent());
}

TEST_F(DeviceCreation, FallsBackToQueryOnlyWhenReadWriteIsRefused) {
    TVirtualBoard board = Board("A");
    board.ReadWriteGranted = false;
    Bus.Plug(board);
    Started();
    ASSERT_EQ(Controller->Devices().size(), 1u);
    THidDevice* d = Claim(0);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->ReadWriteGranted());
    EXPECT_EQ(d->Reader(), nullptr) << "a query-only device must get no reader";
    EXPECT_EQ(d->StringByIndex(2), u"Demo Board");
}

TEST_F(DeviceCreation, FailuresRaiseTheirMessagesAndLeaveThePnPInfoWithTheCaller) {
    const int id = Bus.Plug(Board("A"));
    THidPnPInfo info(Record("A"));

    Bus.SetFaults(id, {.AttributesFail = true});
    try {
        THidDevice device(&info, Bus, Gui, nullptr);
        FAIL() << "created";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Device cannot be identified");
    }
    EXPECT_EQ(Bus.OpenHandles(id), 0u) << "the failed object's handle must be closed";

    Bus.SetFaults(id, {.OpenFails = true});
    try {
        THidDevice device(&info, Bus, Gui, nullptr);
        FAIL() << "created";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Device cannot be opened");
    }
    // Still the caller's: readable, and it can be given to a later attempt.
    EXPECT_EQ(info.InterfacePath, "A");
    Bus.SetFaults(id, {});
    auto* owned = new THidPnPInfo(Record("A"));
    auto device = std::make_unique<THidDevice>(owned, Bus, Gui, nullptr);
    EXPECT_EQ(device->PnPInfo(), owned);
}

// ---------------------------------------------------------------------------
// Strings and the serial number

class DeviceStrings : public HidTest {
protected:
    int id = 0;
    THidDevice* Plugged(const TVirtualBoard& board) {
        id = Bus.Plug(board);
        Started();
        Controller->SetOnDeviceData(nullptr);  // no reader, no read handle
        return Claim(0);
    }
};

TEST_F(DeviceStrings, IndexZeroTouchesNothing) {
    THidDevice* d = Plugged(Board("A"));
    Bus.ResetCallCounts();
    EXPECT_EQ(d->StringByIndex(0), u"");
    EXPECT_EQ(d->StringByIndexAnsi(0), "");
    EXPECT_EQ(Bus.CallCount("Open"), 0u);
    EXPECT_EQ(Bus.CallCount("GetIndexedString"), 0u);
    EXPECT_EQ(Bus.OpenHandles(id), 0u);
}

TEST_F(DeviceStrings, ReadsByIndexAndKeepsTheMainHandleOpen) {
    TVirtualBoard board = Board("A");
    board.Strings[1] = u"Лаборатория";
    THidDevice* d = Plugged(board);
    EXPECT_EQ(d->StringByIndex(1), u"Лаборатория");
    EXPECT_EQ(d->StringByIndexAnsi(1), WideToAnsi(u"Лаборатория"));
    EXPECT_EQ(d->StringByIndex(2), u"Demo Board");
    EXPECT_EQ(d->StringByIndex(9), u"") << "a missing string";
    EXPECT_EQ(Bus.OpenHandles(id), 1u);
    EXPECT_NE(d->MainHandle(), InvalidHidHandle);
}

TEST_F(DeviceStrings, NothingIsReadFromAnObjectNeitherOfferedNorCheckedOut) {
    id = Bus.Plug(Board("A"));
    Started();
    THidDevice* d = Controller->Devices()[0];
    Bus.ResetCallCounts();
    EXPECT_EQ(d->StringByIndex(1), u"");
    EXPECT_EQ(d->SerialString(), u"");
    EXPECT_FALSE(d->OpenMain());
    EXPECT_FALSE(d->OpenReader());
    EXPECT_FALSE(d->OpenWriter());
    EXPECT_EQ(Bus.CallCount("Open"), 0u);
}

TEST_F(DeviceStrings, SerialNumberIsReadOnceAndClosesTheMainHandle) {
    THidDevice* d = Plugged(Board("A"));
    d->OpenMain();
    Bus.ResetCallCounts();
    EXPECT_EQ(d->SerialString(), u"01.01");
    EXPECT_EQ(d->SerialString(), u"01.01");
    EXPECT_EQ(Bus.CallCount("GetSerialNumberString"), 1u);
    EXPECT_EQ(Bus.OpenHandles(id), 0u) << "closed even though the object is checked out";
    EXPECT_EQ(d->SerialCache(), u"01.01");
}

TEST_F(DeviceStrings, SerialNumberThatRepeatsTheLanguageListIsNone) {
    TVirtualBoard board = Board("A");
    board.Languages = {0x0409, 0x0419};
    board.Serial = std::u16string{char16_t(0x0409), char16_t(0x0419)};
    THidDevice* d = Plugged(board);
    EXPECT_EQ(d->SerialString(), u"");
    EXPECT_EQ(d->SerialString(), u"");
    EXPECT_EQ(Bus.CallCount("GetSerialNumberString"), 2u) << "an empty result is read again";
}

TEST_F(DeviceStrings, SerialNumberWithAnUnreadableLanguageListIsNone) {
    TVirtualBoard board = Board("A");
    board.LanguagesReadable = false;
    THidDevice* d = Plugged(board);
    EXPECT_EQ(d->SerialString(), u"");
}

TEST_F(DeviceStrings, FailedSerialReadIsRetried) {
    THidDevice* d = Plugged(Board("A"));
    Bus.SetFaults(id, {.SerialFails = true});
    EXPECT_EQ(d->SerialString(), u"");
    Bus.SetFaults(id, {});
    EXPECT_EQ(d->SerialString(), u"01.01");
}

TEST(WrittenWideLength, FindsTheEndOfWhatWasWrittenIntoAFilledBuffer) {
    std::uint16_t buffer[8];
    auto reset = [&] { std::fill(std::begin(buffer), std::end(buffer), 0xFFFF); };
    reset();
    EXPECT_EQ(WrittenWideLength(buffer, 8), 0u);
    buffer[0] = 0x0409;
    buffer[1] = 0;
    EXPECT_EQ(WrittenWideLength(buffer, 8), 1u);
    reset();
    buffer[0] = 'a';
    buffer[1] = 'b';  // no NUL: filled up to here
    EXPECT_EQ(WrittenWideLength(buffer, 8), 2u);
    reset();
    buffer[0] = 0;
    EXPECT_EQ(WrittenWideLength(buffer, 8), 0u);
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(WrittenWideLength(buffer, 8), 8u);
}

#if !defined(_WIN32)
TEST(WideToAnsi, EncodesUtf16AsUtf8) {
    EXPECT_EQ(WideToAnsi(u""), "");
    EXPECT_EQ(WideToAnsi(u"Demo"), "Demo");
    EXPECT_EQ(WideToAnsi(u"Ключ"), "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87");
    EXPECT_EQ(WideToAnsi(u"\u20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(WideToAnsi(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToAnsi(std::u16string{char16_t(0xD800), u'a'}),
              "\xEF\xBF\xBD"
              "a");
    EXPECT_EQ(WideToAnsi(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
}
#endif

// ---------------------------------------------------------------------------
// Capabilities, writes, sleep time

class DeviceIo : public HidTest {
protected:
    int id = 0;
    THidDevice* d = nullptr;
    void SetUp() override {
        id = Bus.Plug(Board("A"));
        Started();
        Controller->SetOnDeviceData(nullptr);  // no reader in these tests
        d = Claim(0);
    }
};

TEST_F(DeviceIo, CapabilitiesComeFromPreparsedDataFetchedOnce) {
    Bus.ResetCallCounts();
    THidCaps caps;
    d->QueryCaps(caps);
    d->QueryCaps(caps);
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(Bus.CallCount("GetPreparsedData"), 1u);
    EXPECT_NE(d->ParsedData(), 0);
    EXPECT_EQ(Bus.OpenHandles(id), 0u);
    delete d;
    EXPECT_EQ(Bus.CallCount("FreePreparsedData"), 1u);
}

TEST_F(DeviceIo, CapabilitiesWithoutPreparsedDataAreZero) {
    Bus.SetFaults(id, {.PreparsedFails = true});
    THidCaps caps;
    caps.InputReportByteLength = 99;
    d->QueryCaps(caps);
    EXPECT_EQ(caps.InputReportByteLength, 0);
}

TEST_F(DeviceIo, WriteReportPutsTheCallersBytesOnTheWire) {
    std::vector<std::uint8_t> report(65);
    for (std::size_t i = 0; i < report.size(); ++i) report[i] = static_cast<std::uint8_t>(i * 3 + 1);
    report[0] = 0;
    std::uint32_t written = 0;
    ASSERT_TRUE(d->WriteReport(report.data(), 65, written));
    EXPECT_EQ(written, 65u);
    const auto first = report;
    report[1] = 0xEE;
    ASSERT_TRUE(d->WriteReport(report.data(), 65, written));
    const auto wire = Bus.Written(id);
    ASSERT_EQ(wire.size(), 2u);
    EXPECT_EQ(wire[0], first);
    EXPECT_EQ(wire[1], report);
    EXPECT_EQ(Bus.OpenHandles(id), 1u) << "the main handle stays open between writes";
}

TEST_F(DeviceIo, WriteReportPassesTheCountUnchangedAndReportsFailure) {
    std::vector<std::uint8_t> report(65, 0x11);
    std::uint32_t written = 1234;
    EXPECT_FALSE(d->WriteReport(report.data(), 64, written)) << "the count must not be extended";
    Bus.SetFaults(id, {.WriteFails = true});
    EXPECT_FALSE(d->WriteReport(report.data(), 65, written));
    EXPECT_TRUE(Bus.Written(id).empty());
}

TEST_F(DeviceIo, WriteReportAfterUnplugMakesNoPlatformCall) {
    d->MarkUnplugged();
    EXPECT_FALSE(d->Present());
    Bus.ResetCallCounts();
    std::vector<std::uint8_t> report(65, 0x22);
    std::uint32_t written = 4321;
    EXPECT_FALSE(d->WriteReport(report.data(), 65, written));
    EXPECT_EQ(written, 4321u) << "untouched when no write was attempted";
    EXPECT_EQ(Bus.CallCount("WriteFile"), 0u);
    EXPECT_EQ(Bus.CallCount("Open"), 0u);
    EXPECT_EQ(d->StringByIndex(1), u"");
    EXPECT_EQ(d->Identity().VendorID, 0xC04E) << "identity stays readable";
}

TEST_F(DeviceIo, MarkUnpluggedClosesEveryHandleAndRaisesTheUnplugHandlerOnce) {
    ASSERT_TRUE(d->OpenMain());
    ASSERT_TRUE(d->OpenReader());
    ASSERT_TRUE(d->OpenWriter());
    EXPECT_EQ(Bus.OpenHandles(id), 3u);
    d->MarkUnplugged();
    EXPECT_EQ(Bus.OpenHandles(id), 0u);
    EXPECT_EQ(d->ReadHandle(), InvalidHidHandle);
    EXPECT_EQ(d->WriteHandle(), InvalidHidHandle);
    d->MarkUnplugged();
    EXPECT_EQ(Events.Log, (std::vector<std::string>{"unplug A"}));
    EXPECT_FALSE(d->UnplugHandler());
}

TEST_F(DeviceIo, SleepTimeAcceptsTenToTenThousand) {
    d->SetSleepTime(9);
    EXPECT_EQ(d->SleepTime(), 100);
    d->SetSleepTime(10001);
    EXPECT_EQ(d->SleepTime(), 100);
    d->SetSleepTime(10);
    EXPECT_EQ(d->SleepTime(), 10);
    d->SetSleepTime(10000);
    EXPECT_EQ(d->SleepTime(), 10000);
}

// ---------------------------------------------------------------------------
// The reader's start and stop

class DeviceReader : public HidTest {
protected:
    int id = 0;
    void SetUp() override {
        id = Bus.Plug(Board("A"));
        Started();
    }
};

TEST_F(DeviceReader, StartsOnlyWhenCheckedOutWithAHandler) {
    THidDevice* d = Controller->Devices()[0];
    EXPECT_EQ(d->Reader(), nullptr) << "not checked out";
    d->SetSleepTime(10);
    d = Claim(0);
    ASSERT_NE(d->Reader(), nullptr);
    THidDeviceReadThread* first = d->Reader();
    d->SetDataHandler(Events.DataEvent());
    EXPECT_EQ(d->Reader(), first) << "the same handler again starts no second reader";
    d->SetDataHandler(nullptr);
    EXPECT_EQ(d->Reader(), nullptr);
    EXPECT_FALSE(d->DataHandler());
    d->SetDataHandler(Events.DataEvent());
    EXPECT_NE(d->Reader(), nullptr);
}

TEST_F(DeviceReader, NoReaderAfterUnplug) {
    THidDevice* d = Controller->Devices()[0];
    Controller->SetOnDeviceData(nullptr);
    d = Claim(0);
    d->MarkUnplugged();
    d->SetDataHandler(Events.DataEvent());
    EXPECT_EQ(d->Reader(), nullptr);
}

}  // namespace
}  // namespace lumidra::hid::testing
