// The listing of present interfaces: the setup library's protocol (flags,
// record sizes, the size query, skipped interfaces, releasing the set) against
// a scripted setup library, and the real listing of the machine's devices.
#include "hid/windows/WindowsHidPlatform.h"
#include "hid/windows/WindowsInterfaceListing.h"

#include "tests/hid_windows/WindowsTestDevices.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace lumidra::hid {
namespace {

// --- a scripted setup library ------------------------------------------------

// What happens to one interface index.
enum class TDetail { Ok, SizeZero, OtherError, SecondCallFails, SizeWithoutError };

struct TScript {
    std::vector<TDetail> Interfaces;
    bool ClassDevsFails = false;

    // What the listing did.
    DWORD Flags = 0;
    GUID Class{};
    int Destroyed = 0;
    std::vector<DWORD> DetailSizeFields;
    std::vector<std::pair<DWORD, DWORD>> PropertyReads;  // (instance, code)
    bool BadRecordSize = false;
};
TScript script;

HDEVINFO const FakeSet = reinterpret_cast<HDEVINFO>(0x5E7);

std::string PathOf(DWORD index) {
    return "\\\\?\\hid#vid_c04e&pid_2014#" + std::to_string(index);
}

HDEVINFO WINAPI FakeGetClassDevs(const GUID* cls, PCSTR, HWND, DWORD flags) {
    script.Flags = flags;
    script.Class = *cls;
    if (script.ClassDevsFails) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return FakeSet;
}

WINBOOL WINAPI FakeEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA data) {
    if (set != FakeSet || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) script.BadRecordSize = true;
    if (index >= script.Interfaces.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->Reserved = index;
    return TRUE;
}

WINBOOL WINAPI FakeGetDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data, PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                             DWORD size, PDWORD required, PSP_DEVINFO_DATA info) {
    const auto index = static_cast<DWORD>(data->Reserved);
    const std::string path = PathOf(index);
    const DWORD needed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1;
    if (info) {
        if (info->cbSize != sizeof(SP_DEVINFO_DATA)) script.BadRecordSize = true;
        info->DevInst = 0x700 + index;
    }
    if (!detail) {
        switch (script.Interfaces[index]) {
            case TDetail::SizeZero: SetLastError(ERROR_INSUFFICIENT_BUFFER); return FALSE;
            case TDetail::SizeWithoutError: *required = needed; return FALSE;
            case TDetail::OtherError:
                *required = needed;
                SetLastError(ERROR_INVALID_USER_BUFFER);
                return FALSE;
            default:
                *required = needed;
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return FALSE;
        }
    }
    script.DetailSizeFields.push_back(detail->cbSize);
    if (script.Interfaces[index] == TDetail::SecondCallFails || size < needed) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

WINBOOL WINAPI FakeGetProperty(HDEVINFO, PSP_DEVINFO_DATA info, DWORD code, PDWORD, PBYTE buffer, DWORD size, PDWORD) {
    script.PropertyReads.emplace_back(info->DevInst, code);
    if (code != SPDRP_DRIVER) return FALSE;
    const std::string text = "driver " + std::to_string(info->DevInst);
    if (size <= text.size()) return FALSE;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return TRUE;
}

WINBOOL WINAPI FakeDestroy(HDEVINFO set) {
    if (set == FakeSet) ++script.Destroyed;
    return TRUE;
}

class WindowsListingProtocol : public ::testing::Test {
protected:
    void SetUp() override {
        script = {};
        api.GetClassDevs = &FakeGetClassDevs;
        api.EnumDeviceInterfaces = &FakeEnumDeviceInterfaces;
        api.GetDeviceInterfaceDetail = &FakeGetDetail;
        api.GetDeviceRegistryProperty = &FakeGetProperty;
        api.DestroyDeviceInfoList = &FakeDestroy;
    }
    TSetupApi api;
    const GUID cls{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
};

TEST_F(WindowsListingProtocol, ListsReadableInterfacesInOrderAndSkipsTheRest) {
    script.Interfaces = {TDetail::Ok, TDetail::SizeZero, TDetail::OtherError, TDetail::SecondCallFails, TDetail::Ok};
    std::vector<THidInterfaceRecord> records(3);  // replaced, not appended to

    ASSERT_TRUE(ListDeviceInterfaces(api, cls, records));

    EXPECT_EQ(script.Flags, 0x12u);
    EXPECT_EQ(script.Class, cls);
    EXPECT_FALSE(script.BadRecordSize);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].InterfacePath, PathOf(0));
    EXPECT_EQ(records[0].InstanceHandle, 0x700u);
    EXPECT_EQ(records[0].Properties.Driver, "driver 1792");
    EXPECT_EQ(records[1].InterfacePath, PathOf(4));
    EXPECT_EQ(records[1].InstanceHandle, 0x704u);
    EXPECT_EQ(records[1].Properties.Driver, "driver 1796");
    EXPECT_EQ(script.Destroyed, 1);

    // The detail record's size field is the header's, not the buffer's.
#if defined(_WIN64)
    const DWORD headerSize = 8;
#else
    const DWORD headerSize = 5;
#endif
    EXPECT_EQ(script.DetailSizeFields, (std::vector<DWORD>{headerSize, headerSize, headerSize}));

    // Registry properties only for listed interfaces, all 26, each with its own record.
    std::multiset<DWORD> instances;
    for (const auto& [instance, code] : script.PropertyReads) instances.insert(instance);
    EXPECT_EQ(instances.count(0x700), 26u);
    EXPECT_EQ(instances.count(0x704), 26u);
    EXPECT_EQ(instances.size(), 52u);
}

TEST_F(WindowsListingProtocol, AStaleSizeErrorDoesNotCountAsTheAnswer) {
    // The size query reports no error of its own: whatever the thread's last
    // error was before must not make the listing go on.
    script.Interfaces = {TDetail::SizeWithoutError};
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    std::vector<THidInterfaceRecord> records;
    ASSERT_TRUE(ListDeviceInterfaces(api, cls, records));
    EXPECT_TRUE(records.empty());
    EXPECT_TRUE(script.DetailSizeFields.empty());
}

TEST_F(WindowsListingProtocol, FailedSetGivesFalseAndNothingToRelease) {
    script.ClassDevsFails = true;
    script.Interfaces = {TDetail::Ok};
    std::vector<THidInterfaceRecord> records(2);
    EXPECT_FALSE(ListDeviceInterfaces(api, cls, records));
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(script.Destroyed, 0);
}

TEST_F(WindowsListingProtocol, EmptySetIsListedAndReleased) {
    std::vector<THidInterfaceRecord> records;
    EXPECT_TRUE(ListDeviceInterfaces(api, cls, records));
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(script.Destroyed, 1);
}

// --- the machine's own interfaces ---------------------------------------------

TEST(WindowsListing, ListsThePresentHidInterfacesWithPathsAndInstances) {
    WindowsHidPlatform platform;
    const auto records = testing::PresentInterfaces(platform);
    LUMIDRA_REQUIRE_DEVICES(records);
    std::set<std::uint32_t> instances;
    for (const auto& record : records) {
        SCOPED_TRACE(record.InterfacePath);
        EXPECT_EQ(record.InterfacePath.rfind("\\\\?\\", 0), 0u);
        EXPECT_NE(testing::PathId(record.InterfacePath, "vid_"), 0);
        instances.insert(record.InstanceHandle);
        // The registry has its say too: every HID interface names its class.
        EXPECT_EQ(record.Properties.Class, "HIDClass");
        ASSERT_FALSE(record.Properties.HardwareID.empty());
        EXPECT_EQ(record.Properties.HardwareID.front().rfind("HID\\", 0), 0u);
    }
    EXPECT_EQ(instances.size(), records.size()) << "instance handles must tell interfaces apart";

    // Another class lists nothing of these.
    std::vector<THidInterfaceRecord> others;
    EXPECT_TRUE(platform.ListInterfaces(THidGuid{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}}, others));
    EXPECT_TRUE(others.empty());
}

}  // namespace
}  // namespace lumidra::hid
