// Real handles on the machine's HID interfaces (under Wine: its virtual mouse
// and keyboard): opening, identity, capabilities, strings and the serial-number
// rule, a write the device cannot take, and overlapped reads that are started
// and cancelled, directly and through a checked-out device's reader.
#include "hid/HidDeviceController.h"
#include "hid/HidDeviceReadThread.h"
#include "hid/windows/WindowsHidPlatform.h"

#include "tests/hid_windows/WindowsTestDevices.h"
#include "tests/support/WindowsTestGuiThread.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

namespace lumidra::hid {
namespace {

using namespace std::chrono_literals;

TEST(WindowsDevice, OpensIdentifiesAndDescribesEachInterface) {
    WindowsHidPlatform platform;
    const auto records = testing::PresentInterfaces(platform);
    LUMIDRA_REQUIRE_DEVICES(records);
    std::set<THidHandle> numbers;
    for (const auto& record : records) {
        SCOPED_TRACE(record.InterfacePath);
        // Read-write may be refused (Windows keeps mice and keyboards to
        // itself); query-only never is.
        const THidHandle readWrite = platform.Open(record.InterfacePath, THidOpenMode::ReadWrite);
        if (readWrite != InvalidHidHandle) numbers.insert(readWrite);
        platform.Close(readWrite);
        const THidHandle handle = platform.Open(record.InterfacePath, THidOpenMode::QueryOnly);
        ASSERT_NE(handle, InvalidHidHandle);
        EXPECT_TRUE(numbers.insert(handle).second) << "handle numbers are never reused";

        THidAttributes attributes;
        attributes.Size = 12;
        ASSERT_TRUE(platform.GetAttributes(handle, attributes));
        EXPECT_EQ(attributes.VendorID, testing::PathId(record.InterfacePath, "vid_"));
        EXPECT_EQ(attributes.ProductID, testing::PathId(record.InterfacePath, "pid_"));

        THidPreparsedData data = 0;
        ASSERT_TRUE(platform.GetPreparsedData(handle, data));
        ASSERT_NE(data, 0);
        THidCaps caps;
        ASSERT_TRUE(platform.GetCaps(data, caps));
        EXPECT_GT(caps.InputReportByteLength, 1) << "report ID byte and data";
        EXPECT_NE(caps.UsagePage, 0);
        platform.FreePreparsedData(data);

        platform.Close(handle);
        EXPECT_FALSE(platform.GetAttributes(handle, attributes)) << "a closed number stays closed";
        EXPECT_EQ(platform.GetLastError(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    }
    EXPECT_EQ(platform.OpenHandles(), 0u);
}

TEST(WindowsDevice, OpeningAnAbsentInterfaceFailsWithTheSystemsError) {
    WindowsHidPlatform platform;
    ASSERT_TRUE(platform.LoadSetupLibrary());
    ASSERT_TRUE(platform.LoadHidLibrary());
    const THidHandle handle = platform.Open(
        "\\\\?\\hid#vid_c04e&pid_2014#9&ffff&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}", THidOpenMode::QueryOnly);
    EXPECT_EQ(handle, InvalidHidHandle);
    EXPECT_NE(platform.GetLastError(), 0u);
    EXPECT_EQ(platform.OpenHandles(), 0u);
}

// --- overlapped reads ---------------------------------------------------------

struct TCompletion {
    int Calls = 0;
    std::uint32_t Error = 0;
    std::uint32_t Transferred = 0;
    THidOverlapped* Overlapped = nullptr;
    DWORD Thread = 0;
};
TCompletion completion;

// A plain function, as the device layer gives it: the platform must adapt it
// to the system's calling convention.
void RecordCompletion(std::uint32_t error, std::uint32_t transferred, THidOverlapped* overlapped) {
    ++completion.Calls;
    completion.Error = error;
    completion.Transferred = transferred;
    completion.Overlapped = overlapped;
    completion.Thread = GetCurrentThreadId();
}

TEST(WindowsDevice, OverlappedReadStartsStaysPendingAndCancels) {
    WindowsHidPlatform platform;
    const auto records = testing::PresentInterfaces(platform);
    LUMIDRA_REQUIRE_DEVICES(records);
    const THidHandle handle = platform.Open(records[0].InterfacePath, THidOpenMode::OverlappedRead);
    if (handle == InvalidHidHandle) GTEST_SKIP() << "no read access to " << records[0].InterfacePath;

    completion = {};
    std::array<std::uint8_t, 256> buffer{};
    THidOverlapped overlapped;
    int owner = 0;
    overlapped.hEvent = &owner;  // the device layer's reference rides along
    ASSERT_TRUE(platform.ReadFileEx(handle, buffer.data(), 64, overlapped, &RecordCompletion));

    // Nothing to read: the wait times out and the read stays pending.
    EXPECT_EQ(platform.SleepEx(30), HidWaitTimeout);
    EXPECT_EQ(completion.Calls, 0);
    std::uint32_t transferred = 77;
    EXPECT_FALSE(platform.GetOverlappedResult(handle, overlapped, transferred));
    EXPECT_EQ(platform.GetLastError(), static_cast<std::uint32_t>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(transferred, 0u);

    // Cancelled: the completion ends the next alertable wait, on this thread.
    ASSERT_TRUE(platform.CancelIo(handle));
    EXPECT_EQ(platform.SleepEx(2000), 192u);
    EXPECT_EQ(completion.Calls, 1);
    EXPECT_EQ(completion.Error, static_cast<std::uint32_t>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(completion.Transferred, 0u);
    EXPECT_EQ(completion.Overlapped, &overlapped);
    EXPECT_EQ(completion.Thread, GetCurrentThreadId());
    EXPECT_EQ(overlapped.hEvent, &owner);
    EXPECT_FALSE(platform.GetOverlappedResult(handle, overlapped, transferred));
    EXPECT_EQ(platform.GetLastError(), static_cast<std::uint32_t>(ERROR_OPERATION_ABORTED));

    // Nothing more arrives.
    EXPECT_EQ(platform.SleepEx(20), HidWaitTimeout);
    EXPECT_EQ(completion.Calls, 1);

    // A closed number starts nothing.
    platform.Close(handle);
    EXPECT_FALSE(platform.ReadFileEx(handle, buffer.data(), 64, overlapped, &RecordCompletion));
    EXPECT_EQ(platform.GetLastError(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(platform.CancelIo(handle));
    EXPECT_EQ(platform.SleepEx(20), HidWaitTimeout);
    EXPECT_EQ(completion.Calls, 1);
}

// --- device objects through the controller ----------------------------------

class WindowsDeviceObjects : public ::testing::Test {
protected:
    void SetUp() override {
        records = testing::PresentInterfaces(platform);
        if (records.empty()) GTEST_SKIP() << "no HID interface present";
        controller = std::make_unique<THidDeviceController>(nullptr, platform, gui);
        controller->SetOnDeviceDataError(THidDataErrorEvent::Of<&WindowsDeviceObjects::DataError>(this));
        // The start-up re-scan, run from the notification window's message.
        ASSERT_TRUE(gui.RunUntil([&] { return controller->Devices().size() == records.size(); }));
    }
    void TearDown() override {
        controller.reset();
        EXPECT_EQ(platform.OpenHandles(), 0u) << "every device handle must be closed";
    }

public:
    void Data(THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++reports; }
    void DataError(THidDevice*, std::uint32_t) { ++dataErrors; }

protected:
    WindowsHidPlatform platform;
    testing::WindowsTestGuiThread gui;
    std::vector<THidInterfaceRecord> records;
    std::unique_ptr<THidDeviceController> controller;
    int reports = 0;
    int dataErrors = 0;
};

TEST_F(WindowsDeviceObjects, IdentityCapsStringsAndSerialNumber) {
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(records.size()); ++i) {
        THidDevice* device = controller->Devices()[i];
        SCOPED_TRACE(device->PnPInfo()->InterfacePath);
        EXPECT_EQ(device->PnPInfo()->InterfacePath, records[i].InterfacePath);
        EXPECT_EQ(device->PnPInfo()->InstanceHandle, records[i].InstanceHandle);
        EXPECT_EQ(device->Identity().VendorID, testing::PathId(records[i].InterfacePath, "vid_"));
        EXPECT_EQ(device->Identity().ProductID, testing::PathId(records[i].InterfacePath, "pid_"));

        ASSERT_TRUE(controller->ClaimByIndex(device, i));
        THidCaps caps;
        device->QueryCaps(caps);
        EXPECT_GT(caps.InputReportByteLength, 1);
        EXPECT_TRUE(device->StringByIndex(0).empty()) << "index 0 is the language list";

        const THidHandle handle = platform.Open(records[i].InterfacePath, THidOpenMode::QueryOnly);
        ASSERT_NE(handle, InvalidHidHandle);
        std::array<char16_t, 254> serial{};
        std::array<char16_t, 254> languages{};
        const bool serialRead = platform.GetSerialNumberString(handle, serial.data(), 508);
        const bool languagesRead = platform.GetIndexedString(handle, 0, languages.data(), 508);
        platform.Close(handle);
        if (testing::RunningUnderWine()) {
            // Wine's devices answer the serial-number call but not the language
            // list: such a serial number counts as none.
            ASSERT_TRUE(serialRead);
            EXPECT_NE(serial[0], u'\0');
            ASSERT_FALSE(languagesRead);
            EXPECT_EQ(device->SerialString(), u"");
            EXPECT_EQ(device->SerialString(), u"") << "and again on the next call";
            EXPECT_EQ(device->MainHandle(), InvalidHidHandle) << "closed after the serial number";
        } else if (serialRead && languagesRead) {
            EXPECT_EQ(device->SerialString(), std::u16string(serial.data()));
        }
        delete device;  // check-in
    }
}

TEST_F(WindowsDeviceObjects, WriteToADeviceWithoutOutputReportFailsCleanly) {
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->ClaimByIndex(device, 0));
    THidCaps caps;
    device->QueryCaps(caps);
    if (caps.OutputReportByteLength != 0) GTEST_SKIP() << "this device takes output reports";
    if (!device->ReadWriteGranted()) GTEST_SKIP() << "opened query-only";

    std::array<std::uint8_t, 65> report{};
    report[1] = 0x5A;
    std::uint32_t written = 1234;
    EXPECT_FALSE(device->WriteReport(report.data(), report.size(), written));
    EXPECT_NE(platform.GetLastError(), 0u);
    EXPECT_EQ(written, 0u);
    // The device is no worse for it: still open, still answering.
    EXPECT_NE(device->MainHandle(), InvalidHidHandle);
    EXPECT_FALSE(device->WriteReport(report.data(), report.size(), written));
    THidCaps again;
    device->QueryCaps(again);
    EXPECT_EQ(again.InputReportByteLength, caps.InputReportByteLength);
    delete device;
}

TEST_F(WindowsDeviceObjects, ReaderOfACheckedOutDeviceWaitsAndStopsOnCheckIn) {
    controller->SetOnDeviceData(THidDataEvent::Of<&WindowsDeviceObjects::Data>(this));
    THidDevice* device = nullptr;
    ASSERT_TRUE(controller->ClaimByIndex(device, 0));
    if (!device->ReadWriteGranted()) GTEST_SKIP() << "opened query-only: no reader";
    ASSERT_NE(device->Reader(), nullptr);
    device->SetSleepTime(20);

    // Its read stays pending (the device sends nothing); a read that could not
    // be started would raise a data error every 20 ms.
    gui.RunFor(300ms);
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(dataErrors, 0);

    // Check-in stops the reader, which cancels its own pending read first.
    delete device;
    ASSERT_EQ(controller->Devices().size(), records.size());
    THidDevice* replacement = controller->Devices()[0];
    EXPECT_FALSE(replacement->Claimed());
    EXPECT_EQ(replacement->Reader(), nullptr);
    EXPECT_EQ(replacement->PnPInfo()->InterfacePath, records[0].InterfacePath);
    EXPECT_EQ(platform.OpenHandles(), 0u);
}

}  // namespace
}  // namespace lumidra::hid
