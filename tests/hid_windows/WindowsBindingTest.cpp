// Run-time binding of the setup and HID libraries: reference counts, the
// all-or-nothing rule for entry points, the OS-version rule, and a controller
// that stays inert when the binding fails.
#include "hid/HidDeviceController.h"
#include "hid/windows/WindowsHidPlatform.h"

#include "tests/hid_windows/WindowsTestDevices.h"
#include "tests/support/WindowsTestGuiThread.h"

#include <gtest/gtest.h>

namespace lumidra::hid {
namespace {

using namespace std::chrono_literals;

// A system library nothing else in the test loads, so whether it is loaded
// shows what the binding did with it.
constexpr const char* SpareLibrary = "msacm32.dll";

bool SpareLibraryLoaded() {
    return GetModuleHandleA(SpareLibrary) != nullptr;
}

TWindowsLibrary Spare(std::vector<TWindowsEntryPoint> entryPoints) {
    return {SpareLibrary, std::move(entryPoints)};
}

class WindowsBinding : public ::testing::Test {
protected:
    void SetUp() override {
        if (SpareLibraryLoaded()) GTEST_SKIP() << SpareLibrary << " is loaded by something else";
    }
};

TEST(WindowsBindingSystem, BindsBothSystemLibrariesWithEveryListedEntryPoint) {
    WindowsHidPlatform platform;
    ASSERT_TRUE(platform.LoadSetupLibrary());
    ASSERT_TRUE(platform.LoadHidLibrary());
    EXPECT_TRUE(platform.SetupLibraryLoaded());
    EXPECT_TRUE(platform.HidLibraryLoaded());
    EXPECT_EQ(platform.GetHidGuid(), DefaultHidGuid);
    platform.UnloadHidLibrary();
    EXPECT_FALSE(platform.HidLibraryLoaded());
    platform.UnloadSetupLibrary();
    EXPECT_FALSE(platform.SetupLibraryLoaded());
    // Unbound: no listing, no HID calls, and no crash for trying.
    std::vector<THidInterfaceRecord> records(1);
    EXPECT_FALSE(platform.ListInterfaces(DefaultHidGuid, records));
    EXPECT_TRUE(records.empty());
    THidCaps caps;
    EXPECT_FALSE(platform.GetCaps(1, caps));
}

TEST_F(WindowsBinding, SetupLibraryIsReferenceCountedAndFreedAtZero) {
    TWindowsBindingConfig config;
    config.Setup = Spare({{"acmGetVersion"}, {"acmMetrics"}});
    WindowsHidPlatform platform(config);

    ASSERT_TRUE(platform.LoadSetupLibrary());
    ASSERT_TRUE(platform.LoadSetupLibrary());
    EXPECT_EQ(platform.SetupReferences(), 2);
    EXPECT_TRUE(SpareLibraryLoaded());

    platform.UnloadSetupLibrary();
    EXPECT_EQ(platform.SetupReferences(), 1);
    EXPECT_TRUE(platform.SetupLibraryLoaded());
    EXPECT_TRUE(SpareLibraryLoaded());

    platform.UnloadSetupLibrary();
    EXPECT_EQ(platform.SetupReferences(), 0);
    EXPECT_FALSE(platform.SetupLibraryLoaded());
    EXPECT_FALSE(SpareLibraryLoaded());

    // One unload too many must not drive the count below zero.
    platform.UnloadSetupLibrary();
    ASSERT_TRUE(platform.LoadSetupLibrary());
    EXPECT_EQ(platform.SetupReferences(), 1);
    platform.UnloadSetupLibrary();
    EXPECT_FALSE(SpareLibraryLoaded());
}

TEST_F(WindowsBinding, OneMissingEntryPointUndoesTheWholeSetupBinding) {
    TWindowsBindingConfig config;
    config.Setup = Spare({{"acmGetVersion"}, {"acmNoSuchEntryPoint"}, {"acmMetrics"}});
    WindowsHidPlatform platform(config);

    EXPECT_FALSE(platform.LoadSetupLibrary());
    EXPECT_EQ(platform.SetupReferences(), 0);
    EXPECT_FALSE(platform.SetupLibraryLoaded());
    EXPECT_FALSE(SpareLibraryLoaded()) << "the library must be freed again";
    // Nothing was counted: the next attempt fails the same way.
    EXPECT_FALSE(platform.LoadSetupLibrary());
    EXPECT_EQ(platform.SetupReferences(), 0);
}

TEST_F(WindowsBinding, MissingLibraryFileFailsQuietly) {
    TWindowsBindingConfig config;
    config.Setup = {"LumidraNoSuchLibrary.dll", {{"Anything"}}};
    config.Hid = {"LumidraNoSuchLibrary.dll", {{"Anything"}}};
    WindowsHidPlatform platform(config);
    EXPECT_FALSE(platform.LoadSetupLibrary());
    EXPECT_FALSE(platform.LoadHidLibrary());
    EXPECT_EQ(platform.SetupReferences(), 0);
    EXPECT_FALSE(platform.HidLibraryLoaded());
}

TEST_F(WindowsBinding, HidEntryPointsOfNewerSystemsAreRequiredOnlyThere) {
    const auto hidList =
        Spare({{"acmGetVersion"}, {"acmNoSuchEntryPoint51", 0x0501}, {"acmNoSuchEntryPoint50", 0x0500}});
    for (const auto& [version, binds] :
         std::vector<std::pair<std::uint16_t, bool>>{{0x0400, true}, {0x0500, false}, {0x0501, false}}) {
        SCOPED_TRACE(version);
        TWindowsBindingConfig config;
        config.Hid = hidList;
        config.NtVersion = version;
        WindowsHidPlatform platform(config);
        EXPECT_EQ(platform.LoadHidLibrary(), binds);
        EXPECT_EQ(platform.HidLibraryLoaded(), binds);
        EXPECT_EQ(SpareLibraryLoaded(), binds);
    }
    // Before 5.1 the 5.1-only entry point is not asked for.
    TWindowsBindingConfig config;
    config.Hid = Spare({{"acmGetVersion"}, {"acmNoSuchEntryPoint51", 0x0501}, {"acmMetrics", 0x0500}});
    config.NtVersion = 0x0500;
    WindowsHidPlatform platform(config);
    EXPECT_TRUE(platform.LoadHidLibrary());
    platform.UnloadHidLibrary();
    EXPECT_FALSE(SpareLibraryLoaded());
}

TEST_F(WindowsBinding, HidLibraryIsLoadedOnceAndUnloadedAtOnce) {
    TWindowsBindingConfig config;
    config.Hid = Spare({{"acmGetVersion"}});
    WindowsHidPlatform platform(config);
    ASSERT_TRUE(platform.LoadHidLibrary());
    ASSERT_TRUE(platform.LoadHidLibrary());
    platform.UnloadHidLibrary();
    EXPECT_FALSE(platform.HidLibraryLoaded());
    EXPECT_FALSE(SpareLibraryLoaded()) << "a second load must not have taken a second reference";
}

TEST_F(WindowsBinding, ControllerStaysInertWhenAnEntryPointIsMissing) {
    TWindowsBindingConfig config;
    config.Hid.EntryPoints.push_back({"HidD_NoSuchEntryPoint"});
    WindowsHidPlatform platform(config);
    testing::WindowsTestGuiThread gui;
    THidDeviceController controller(nullptr, platform, gui);
    int changes = 0;
    struct Counter {
        int& Count;
        void Changed(TObject*) { ++Count; }
    } counter{changes};
    controller.SetOnDeviceChange(TNotifyEvent::Of<&Counter::Changed>(&counter));
    gui.RunFor(200ms);

    EXPECT_FALSE(platform.HidLibraryLoaded());
    EXPECT_EQ(controller.NotifyWindow(), nullptr);
    EXPECT_EQ(controller.InterfaceClass(), DefaultHidGuid);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(controller.Devices().empty());
    EXPECT_EQ(controller.RunEnumeration(), 0);
    THidDevice* device = nullptr;
    EXPECT_FALSE(controller.ClaimByIndex(device, 0));
    EXPECT_EQ(device, nullptr);
}

TEST(WindowsBindingSystem, CancelIoThatCannotBeFoundFailsCleanly) {
    TWindowsBindingConfig config;
    config.CancelIoEntryPoint = "CancelIoMissing";
    WindowsHidPlatform platform(config);
    const auto records = testing::PresentInterfaces(platform);
    LUMIDRA_REQUIRE_DEVICES(records);
    const THidHandle handle = platform.Open(records[0].InterfacePath, THidOpenMode::OverlappedRead);
    ASSERT_NE(handle, InvalidHidHandle);
    EXPECT_FALSE(platform.CancelIo(handle));
    EXPECT_EQ(platform.GetLastError(), static_cast<std::uint32_t>(ERROR_PROC_NOT_FOUND));
    platform.Close(handle);
}

}  // namespace
}  // namespace lumidra::hid
