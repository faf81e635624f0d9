#include "hid/linux/NotifyWindow.h"
#include "hid/linux/LinuxHidPlatform.h"
#include "tests/support/TestGuiThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lumidra::hid::hidraw {
namespace {

using namespace std::chrono_literals;
using lumidra::testing::TestGuiThread;

struct Message {
    std::uint32_t Msg;
    std::uintptr_t WParam;
    std::intptr_t LParam;
    bool OnGuiThread;
};

// Device events on an eventfd: writing n announces n node changes.
class CountingSource final : public TDeviceEventSource {
public:
    explicit CountingSource(std::shared_ptr<std::atomic<int>> destroyed)
        : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), destroyed_(std::move(destroyed)) {}
    ~CountingSource() override {
        ::close(fd_);
        ++*destroyed_;
    }
    int Fd() const override { return fd_; }
    int TakeEvents() override {
        std::uint64_t count = 0;
        if (::read(fd_, &count, sizeof count) != sizeof count) return 0;
        return static_cast<int>(count);
    }
    void Announce(std::uint64_t changes) {
        ASSERT_EQ(::write(fd_, &changes, sizeof changes), static_cast<ssize_t>(sizeof changes));
    }

private:
    const int fd_;
    std::shared_ptr<std::atomic<int>> destroyed_;
};

class NotifyWindowTest : public ::testing::Test {
protected:
    THidNotifyWindow::Handler Recorder() {
        return [this](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) -> std::intptr_t {
            received_.push_back({msg, w, l, gui_.IsGuiThread()});
            return 0;
        };
    }

    TestGuiThread gui_;
    std::vector<Message> received_;
};

TEST_F(NotifyWindowTest, PostedMessagesReachTheHandlerOnTheGuiThreadInOrder) {
    TNotifyWindow window(gui_, Recorder(), nullptr);
    EXPECT_FALSE(window.Watching());
    std::thread([&] {
        EXPECT_TRUE(window.PostMessage(HidDeviceChangeMessage, HidDevNodesChanged, -1));
        EXPECT_TRUE(window.PostMessage(HidDeviceChangeMessage, 0x8000, 5));
    }).join();
    EXPECT_TRUE(received_.empty());  // only at a later turn of the GUI loop
    gui_.ProcessPending();
    ASSERT_EQ(received_.size(), 2u);
    EXPECT_EQ(received_[0].Msg, HidDeviceChangeMessage);
    EXPECT_EQ(received_[0].WParam, HidDevNodesChanged);
    EXPECT_EQ(received_[0].LParam, -1);
    EXPECT_TRUE(received_[0].OnGuiThread);
    EXPECT_EQ(received_[1].WParam, 0x8000u);
    EXPECT_EQ(window.DefWindowProc(HidDeviceChangeMessage, HidDevNodesChanged, 0), 0);
}

TEST_F(NotifyWindowTest, NothingReachesTheHandlerAfterTheWindowIsGone) {
    {
        TNotifyWindow window(gui_, Recorder(), nullptr);
        window.PostMessage(HidDeviceChangeMessage, HidDevNodesChanged, 0);
        window.PostMessage(HidDeviceChangeMessage, HidDevNodesChanged, 0);
    }
    EXPECT_EQ(gui_.ProcessPending(), 2);  // the posted calls run, and do nothing
    EXPECT_TRUE(received_.empty());
}

TEST_F(NotifyWindowTest, EachDeviceEventBecomesOneDeviceChangeMessage) {
    auto destroyed = std::make_shared<std::atomic<int>>(0);
    auto source = std::make_unique<CountingSource>(destroyed);
    CountingSource* events = source.get();
    {
        TNotifyWindow window(gui_, Recorder(), std::move(source));
        ASSERT_TRUE(window.Watching());
        events->Announce(1);
        ASSERT_TRUE(gui_.RunUntil([&] { return received_.size() == 1; }));
        events->Announce(2);
        ASSERT_TRUE(gui_.RunUntil([&] { return received_.size() == 3; }));
        gui_.RunFor(30ms);
        EXPECT_EQ(received_.size(), 3u);
        for (const auto& m : received_) {
            EXPECT_EQ(m.Msg, HidDeviceChangeMessage);
            EXPECT_EQ(m.WParam, HidDevNodesChanged);
            EXPECT_EQ(m.LParam, 0);
            EXPECT_TRUE(m.OnGuiThread);
        }
    }
    // The watching thread stopped and released its source with the window.
    EXPECT_EQ(destroyed->load(), 1);
    gui_.RunFor(20ms);
    EXPECT_EQ(received_.size(), 3u);
}

TEST_F(NotifyWindowTest, DestroyingTheWindowDuringABurstDeliversNoMore) {
    auto destroyed = std::make_shared<std::atomic<int>>(0);
    auto source = std::make_unique<CountingSource>(destroyed);
    CountingSource* events = source.get();
    auto window = std::make_unique<TNotifyWindow>(gui_, Recorder(), std::move(source));
    events->Announce(50);
    ASSERT_TRUE(gui_.WaitUntilQueued());
    window.reset();
    gui_.RunFor(20ms);
    EXPECT_TRUE(received_.empty());
    EXPECT_EQ(destroyed->load(), 1);
}

TEST(LinuxNotifyWindow, PlatformWindowCarriesTheOwnersMessages) {
    // Whether this machine lets a process watch device events or not, the
    // window exists and delivers what its owner posts.
    TestGuiThread gui;
    LinuxHidPlatform platform;
    int calls = 0;
    auto window = platform.CreateNotifyWindow(gui, [&](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) {
        EXPECT_EQ(msg, HidDeviceChangeMessage);
        EXPECT_EQ(w, HidDevNodesChanged);
        EXPECT_EQ(l, -1);
        ++calls;
        return std::intptr_t{0};
    });
    ASSERT_TRUE(window);
    window->PostMessage(HidDeviceChangeMessage, HidDevNodesChanged, -1);
    ASSERT_TRUE(gui.RunUntil([&] { return calls == 1; }));
    window.reset();
}

}  // namespace
}  // namespace lumidra::hid::hidraw
