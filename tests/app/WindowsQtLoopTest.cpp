// Windows: the controller's hidden notification window is a window of the GUI
// thread, and Qt's event loop dispatches every Windows message of that thread.
// So the system's device-change broadcasts reach the controller while Qt's
// loop runs, a modal box's nested loop included, with nothing between them.
#include "app/session/QtGuiThread.h"
#include "hid/HidDeviceController.h"
#include "hid/windows/WindowsApi.h"
#include "hid/windows/WindowsHidPlatform.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>

namespace lumidra::app {
namespace {

// The parameter of the broadcasts sent here; other top-level windows of the
// session get them too and ignore them.
constexpr std::intptr_t BroadcastTag = 0x5154;

class WindowsQtLoop : public ::testing::Test {
public:
    void Changed(hid::TObject*) {
        ++changes;
        if (onChange) onChange();
    }

protected:
    hid::WindowsHidPlatform platform;
    QtGuiThread gui;
    int changes = 0;
    std::function<void()> onChange;
};

TEST_F(WindowsQtLoop, DeviceChangesReachTheControllerWhileQtsLoopRuns) {
    hid::THidDeviceController controller(nullptr, platform, gui);
    ASSERT_NE(controller.NotifyWindow(), nullptr) << "the HID library binds under Windows and Wine";
    controller.SetOnDeviceChange(hid::TNotifyEvent::Of<&WindowsQtLoop::Changed>(this));
    const int afterSetting = changes;  // setting the handler re-scans at once

    // The start-up notification, posted to the window, comes through Qt's loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.ChangeTag() == -1 && changes > afterSetting; }, 5000));

    // What the system broadcasts to every top-level window reaches it too.
    ASSERT_TRUE(PostMessageA(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, BroadcastTag));
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.ChangeTag() == BroadcastTag; }, 5000));
}

TEST_F(WindowsQtLoop, DeviceChangesReachTheControllerInsideANestedLoop) {
    hid::THidDeviceController controller(nullptr, platform, gui);
    ASSERT_NE(controller.NotifyWindow(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.ChangeTag() == -1; }, 5000));
    controller.SetOnDeviceChange(hid::TNotifyEvent::Of<&WindowsQtLoop::Changed>(this));

    // As when a job's message box is open: the re-scan runs in the box's loop.
    QEventLoop nested;
    bool ranInside = false;
    onChange = [&] {
        ranInside = nested.isRunning();
        nested.quit();
    };
    ASSERT_TRUE(controller.NotifyWindow()->PostMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, -1));
    QTimer::singleShot(5000, &nested, &QEventLoop::quit);  // a safety net, not a measure
    nested.exec();
    EXPECT_TRUE(ranInside);
}

}  // namespace
}  // namespace lumidra::app
