// The hidden notification window: a top-level window of the GUI thread whose
// device-change messages reach the handler only when that thread's loop
// dispatches them, and through which the controller re-scans.
#include "hid/HidDeviceController.h"
#include "hid/windows/WindowsHidPlatform.h"
#include "hid/windows/WindowsNotifyWindow.h"

#include "tests/hid_windows/WindowsTestDevices.h"
#include "tests/support/WindowsTestGuiThread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

namespace lumidra::hid {
namespace {

using namespace std::chrono_literals;
using TMessage = std::tuple<std::uint32_t, std::uintptr_t, std::intptr_t>;

// The parameter of the one broadcast these tests send. A broadcast reaches
// every top-level window of the session, those of tests running beside this
// one too, which therefore leave it out of what they count.
constexpr std::intptr_t BroadcastTag = 0x4C4D;

// Broadcasts "device nodes changed" to every top-level window, as the system
// does, without waiting for any receiver.
void BroadcastDeviceChange() {
    EXPECT_TRUE(PostMessageA(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, BroadcastTag));
}

class WindowsNotifyWindow : public ::testing::Test {
protected:
    std::unique_ptr<THidNotifyWindow> Create(std::intptr_t answer = 0x1234) {
        return platform.CreateNotifyWindow(
            gui, [this, answer](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) -> std::intptr_t {
                if (l == BroadcastTag) return answer;
                received.emplace_back(msg, w, l);
                threads.push_back(GetCurrentThreadId());
                if (throwing) throw std::runtime_error("handler failed");
                return answer;
            });
    }
    static HWND Handle(const std::unique_ptr<THidNotifyWindow>& window) {
        return static_cast<HWND>(static_cast<TWindowsNotifyWindow*>(window.get())->WindowHandle());
    }

    WindowsHidPlatform platform;
    testing::WindowsTestGuiThread gui;
    std::vector<TMessage> received;
    std::vector<DWORD> threads;
    bool throwing = false;
};

TEST_F(WindowsNotifyWindow, IsAHiddenTopLevelWindow) {
    auto window = Create();
    ASSERT_NE(window, nullptr);
    HWND hwnd = Handle(window);
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    // A message-only window would have the message window as its parent and
    // would never see the system's broadcasts.
    EXPECT_EQ(GetAncestor(hwnd, GA_PARENT), GetDesktopWindow());
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
    window.reset();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowsNotifyWindow, PostedDeviceChangeRunsTheHandlerWhenTheLoopTurns) {
    auto window = Create();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->PostMessage(0x0219, 7, -1));
    EXPECT_TRUE(received.empty()) << "posted, not sent";

    gui.ProcessPending();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], TMessage(0x0219, 7, -1));
    EXPECT_EQ(threads[0], GetCurrentThreadId());

    // From another thread it still runs here, on the GUI thread.
    std::thread([&] { EXPECT_TRUE(window->PostMessage(0x0219, 7, 42)); }).join();
    ASSERT_TRUE(gui.RunUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[1], TMessage(0x0219, 7, 42));
    EXPECT_EQ(threads[1], GetCurrentThreadId());

    // Other messages are the window's own business.
    ASSERT_TRUE(window->PostMessage(WM_USER + 5, 7, 0));
    gui.RunFor(50ms);
    EXPECT_EQ(received.size(), 2u);
}

TEST_F(WindowsNotifyWindow, AnswersWithTheHandlersResult) {
    auto window = Create(0x5A5A);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageA(Handle(window), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 3), 0x5A5A);
    EXPECT_EQ(window->DefWindowProc(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0),
              DefWindowProcA(Handle(window), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0));
}

TEST_F(WindowsNotifyWindow, MessagesStillQueuedDieWithTheWindow) {
    auto window = Create();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->PostMessage(0x0219, 7, -1));
    window.reset();
    gui.RunFor(50ms);
    EXPECT_TRUE(received.empty());
}

TEST_F(WindowsNotifyWindow, HandlerErrorReachesTheGuiLoopNotTheSystem) {
    auto window = Create();
    ASSERT_NE(window, nullptr);
    throwing = true;
    ASSERT_TRUE(window->PostMessage(0x0219, 7, -1));
    // The dispatch itself returns normally; the error comes out of the loop
    // at its next turn.
    EXPECT_NO_THROW(gui.ProcessPending());
    EXPECT_EQ(received.size(), 1u);
    EXPECT_THROW(gui.ProcessPending(), std::runtime_error);
    throwing = false;
    ASSERT_TRUE(window->PostMessage(0x0219, 7, 1));
    gui.ProcessPending();
    EXPECT_EQ(received.size(), 2u) << "the window keeps working";
}

// --- the controller's re-scans ------------------------------------------------

class WindowsNotifiedController : public ::testing::Test {
public:
    void Changed(TObject*) { ++changes; }

protected:
    WindowsHidPlatform platform;
    testing::WindowsTestGuiThread gui;
    int changes = 0;
};

TEST_F(WindowsNotifiedController, EachPostedNotificationRunsOneRescan) {
    const auto records = testing::PresentInterfaces(platform);
    THidDeviceController controller(nullptr, platform, gui);
    ASSERT_NE(controller.NotifyWindow(), nullptr);
    controller.BeginLoading();  // as from the stored form: no re-scan of its own
    controller.SetOnDeviceChange(TNotifyEvent::Of<&WindowsNotifiedController::Changed>(this));
    controller.EndLoading();
    EXPECT_EQ(changes, 0) << "the start-up notification waits for the loop";

    // The start-up notification (parameter -1) always reports a change.
    ASSERT_TRUE(gui.RunUntil([&] { return changes == 1; }));
    EXPECT_EQ(controller.ChangeTag(), -1);
    EXPECT_EQ(controller.Devices().size(), records.size());

    // A notification that changes nothing re-scans (its parameter is taken)
    // and reports nothing.
    ASSERT_TRUE(controller.NotifyWindow()->PostMessage(0x0219, 7, 5));
    ASSERT_TRUE(gui.RunUntil([&] { return controller.ChangeTag() == 5; }));
    EXPECT_EQ(changes, 1);

    // One notification, one re-scan.
    ASSERT_TRUE(controller.NotifyWindow()->PostMessage(0x0219, 7, -1));
    ASSERT_TRUE(gui.RunUntil([&] { return changes == 2; }));
    gui.RunFor(100ms);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(controller.Devices().size(), records.size());

    // What the system broadcasts to every top-level window reaches the
    // controller's as well.
    BroadcastDeviceChange();
    ASSERT_TRUE(gui.RunUntil([&] { return controller.ChangeTag() == BroadcastTag; }));
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace lumidra::hid
