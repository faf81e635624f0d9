#include "hid/linux/LinuxHidPlatform.h"

#include <gtest/gtest.h>

namespace lumidra::hid {
namespace {

TEST(LinuxBinding, SetupLibraryIsReferenceCounted) {
    LinuxHidPlatform platform;
    std::vector<THidInterfaceRecord> records;
    EXPECT_FALSE(platform.ListInterfaces(DefaultHidGuid, records));  // nothing bound yet
    ASSERT_TRUE(platform.LoadSetupLibrary());
    ASSERT_TRUE(platform.LoadSetupLibrary());
    EXPECT_EQ(platform.SetupReferences(), 2);
    platform.UnloadSetupLibrary();
    EXPECT_TRUE(platform.ListInterfaces(DefaultHidGuid, records));  // still bound once
    platform.UnloadSetupLibrary();
    EXPECT_EQ(platform.SetupReferences(), 0);
    EXPECT_FALSE(platform.ListInterfaces(DefaultHidGuid, records));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE_CODE);
    platform.UnloadSetupLibrary();  // one too many: harmless
    EXPECT_EQ(platform.SetupReferences(), 0);
}

TEST(LinuxBinding, HidLibraryLoadsOnceAndUnloads) {
    LinuxHidPlatform platform;
    EXPECT_FALSE(platform.HidLibraryLoaded());
    EXPECT_TRUE(platform.LoadHidLibrary());
    EXPECT_TRUE(platform.LoadHidLibrary());
    EXPECT_TRUE(platform.HidLibraryLoaded());
    platform.UnloadHidLibrary();
    EXPECT_FALSE(platform.HidLibraryLoaded());
    EXPECT_TRUE(platform.GetHidGuid() == DefaultHidGuid);
}

TEST(LinuxBinding, OptionsMakeBindingFail) {
    LinuxHidPlatform noSetup(LinuxHidOptions{true, false});
    EXPECT_FALSE(noSetup.LoadSetupLibrary());
    EXPECT_EQ(noSetup.SetupReferences(), 0);
    EXPECT_TRUE(noSetup.LoadHidLibrary());

    LinuxHidPlatform noHid(LinuxHidOptions{false, true});
    EXPECT_TRUE(noHid.LoadSetupLibrary());
    EXPECT_FALSE(noHid.LoadHidLibrary());
    EXPECT_FALSE(noHid.HidLibraryLoaded());
    noHid.UnloadSetupLibrary();
}

TEST(LinuxListing, ListsDeviceNodesOnlyForTheHidClass) {
    LinuxHidPlatform platform;
    ASSERT_TRUE(platform.LoadSetupLibrary());
    std::vector<THidInterfaceRecord> records(3);
    ASSERT_TRUE(platform.ListInterfaces(DefaultHidGuid, records));
    for (const auto& record : records) {
        EXPECT_EQ(record.InterfacePath.rfind("/dev/", 0), 0u) << record.InterfacePath;
        EXPECT_NE(record.InstanceHandle, 0u);
    }
    // Listing twice gives each node the same instance handle.
    std::vector<THidInterfaceRecord> again;
    ASSERT_TRUE(platform.ListInterfaces(DefaultHidGuid, again));
    ASSERT_EQ(again.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(again[i].InstanceHandle, records[i].InstanceHandle);

    THidGuid other = DefaultHidGuid;
    other.Data1 ^= 1;
    std::vector<THidInterfaceRecord> none(2);
    EXPECT_TRUE(platform.ListInterfaces(other, none));
    EXPECT_TRUE(none.empty());
    platform.UnloadSetupLibrary();
}

TEST(LinuxOpen, MissingNodeIsFileNotFoundInEveryMode) {
    LinuxHidPlatform platform;
    for (auto mode : {THidOpenMode::ReadWrite, THidOpenMode::QueryOnly, THidOpenMode::OverlappedRead,
                      THidOpenMode::OverlappedWrite}) {
        EXPECT_EQ(platform.Open("/dev/hidraw-none-such", mode), InvalidHidHandle);
        EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND_CODE);
    }
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(LinuxOpen, QueryOnlyNeedsAHidrawNode) {
    // A character device of another kind, or a plain file, is no HID interface.
    LinuxHidPlatform platform;
    EXPECT_EQ(platform.Open("/dev/null", THidOpenMode::QueryOnly), InvalidHidHandle);
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND_CODE);
    EXPECT_EQ(platform.Open("/proc/self/status", THidOpenMode::QueryOnly), InvalidHidHandle);
}

TEST(LinuxOpen, HandlesOfOtherNodesAnswerNothing) {
    // A read-write open of a non-hidraw node succeeds, as a file open does,
    // but it cannot be identified.
    LinuxHidPlatform platform;
    const THidHandle handle = platform.Open("/dev/null", THidOpenMode::ReadWrite);
    ASSERT_NE(handle, InvalidHidHandle);
    THidAttributes attributes;
    EXPECT_FALSE(platform.GetAttributes(handle, attributes));
    EXPECT_EQ(platform.GetLastError(), ERROR_NOT_SUPPORTED_CODE);
    std::uint16_t words[254];
    EXPECT_FALSE(platform.GetSerialNumberString(handle, words, sizeof words));
    THidPreparsedData data = 0;
    EXPECT_FALSE(platform.GetPreparsedData(handle, data));
    // Nor can it be read overlapped: the framing of its reports is unknown.
    EXPECT_EQ(platform.Open("/dev/null", THidOpenMode::OverlappedRead), InvalidHidHandle);
    EXPECT_EQ(platform.GetLastError(), ERROR_NOT_SUPPORTED_CODE);
    platform.Close(handle);
    platform.Close(handle);
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE_CODE);
}

}  // namespace
}  // namespace lumidra::hid
