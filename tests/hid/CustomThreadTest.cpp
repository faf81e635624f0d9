// The worker thread base: synchronised calls, errors carried back, waiting on
// the GUI thread, release from inside a running call, naming.
#include "hid/CustomThread.h"
#include "tests/support/TestGuiThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#if defined(__linux__)
#include <pthread.h>
#endif

namespace lumidra::hid {
namespace {

using lumidra::testing::TestGuiThread;
using namespace std::chrono_literals;

// Runs `Body` as its body; `Sync` lets the body post synchronised calls.
class ProbeThread final : public TCustomThread {
public:
    ProbeThread(TGuiThread& gui, std::function<void(ProbeThread&)> body, std::atomic<bool>* gone = nullptr)
        : TCustomThread(gui), body_(std::move(body)), gone_(gone) {}
    ~ProbeThread() override {
        Terminate();
        WaitFor();
        if (gone_) *gone_ = true;
    }
    void Sync(std::function<void()> call) { Synchronize(std::move(call)); }
    std::string SeenName;

protected:
    void Execute() override { body_(*this); }
    const char* ClassName() const override { return "ProbeThreadWithALongName"; }

private:
    std::function<void(ProbeThread&)> body_;
    std::atomic<bool>* gone_;
};

[[maybe_unused]] std::string CurrentThreadName() {  // Linux names its threads; Windows builds leave it unused
#if defined(__linux__)
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
#else
    return {};
#endif
}

TEST(CustomThreadSynchronize, RunsOnTheGuiThreadWhileTheBodyWaits) {
    TestGuiThread gui;
    std::atomic<int> step{0};
    bool ranOnGui = false;
    ProbeThread thread(gui, [&](ProbeThread& self) {
        self.Sync([&] {
            ranOnGui = gui.IsGuiThread();
            step = 1;
        });
        step = 2;  // only after the call has run
    });
    thread.Start();
    ASSERT_TRUE(gui.WaitUntilQueued());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(step.load(), 0) << "the body went on before its call ran";
    gui.ProcessPending();
    thread.WaitFor();
    EXPECT_TRUE(ranOnGui);
    EXPECT_EQ(step.load(), 2);
    EXPECT_TRUE(thread.Finished());
    EXPECT_FALSE(thread.FatalException());
}

TEST(CustomThreadSynchronize, ErrorOfTheCallEndsTheBodyAndIsKept) {
    TestGuiThread gui;
    bool after = false;
    ProbeThread thread(gui, [&](ProbeThread& self) {
        self.Sync([] { throw std::runtime_error("boom"); });
        after = true;
    });
    thread.Start();
    thread.WaitFor();  // runs the call on this, the GUI thread
    EXPECT_FALSE(after);
    ASSERT_TRUE(thread.FatalException());
    try {
        std::rethrow_exception(thread.FatalException());
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "boom");
    }
}

TEST(CustomThreadWaitFor, RunsPendingCallsOnTheGuiThreadInsteadOfDeadlocking) {
    TestGuiThread gui;
    int calls = 0;
    ProbeThread thread(gui, [&](ProbeThread& self) {
        while (!self.Terminated()) self.Sync([&] { ++calls; });
    });
    thread.Start();
    ASSERT_TRUE(gui.WaitUntilQueued());
    thread.Terminate();
    thread.WaitFor();  // nobody pumps: the wait itself must run the call
    EXPECT_GE(calls, 1);
    // The posted copy of a call the wait already ran does nothing.
    const int before = calls;
    gui.ProcessPending();
    EXPECT_EQ(calls, before);
}

// The hand-over posts the thread's own shared state, not a copy: the entry a
// wait left queued outlives the thread object and does nothing at its turn.
TEST(CustomThreadWaitFor, AnEntryLeftQueuedOutlivesTheThreadAndDoesNothing) {
    TestGuiThread gui;
    int calls = 0;
    {
        ProbeThread thread(gui, [&](ProbeThread& self) {
            for (int i = 0; i < 3; ++i) self.Sync([&] { ++calls; });
        });
        thread.Start();
        ASSERT_TRUE(gui.WaitUntilQueued());
        thread.WaitFor();  // runs all three itself; one entry stays queued
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(gui.Queued(), 1u) << "one entry however often the body posted";
    }
    EXPECT_EQ(gui.ProcessPending(), 1);
    EXPECT_EQ(calls, 3);
}

TEST(CustomThreadRelease, InsideItsOwnRunningCallReturnsAtOnceAndJoinsAfterTheCall) {
    TestGuiThread gui;
    std::atomic<bool> gone{false};
    std::unique_ptr<TCustomThread> owner;
    bool returnedBeforeJoin = false;
    auto* thread = new ProbeThread(
        gui,
        [&](ProbeThread& self) {
            while (!self.Terminated()) {
                self.Sync([&] {
                    if (!owner) return;
                    EXPECT_TRUE(owner->SynchronizeRunning());
                    TCustomThread::ReleaseAfterSynchronize(std::move(owner));
                    returnedBeforeJoin = !gone;  // still alive: this call has not returned yet
                });
            }
        },
        &gone);
    owner.reset(thread);
    thread->Start();
    ASSERT_TRUE(gui.RunUntil([&] { return gone.load(); }, 5s));
    EXPECT_TRUE(returnedBeforeJoin);
}

TEST(CustomThreadRelease, OutsideACallWaitsAndDeletes) {
    TestGuiThread gui;
    std::atomic<bool> gone{false};
    std::unique_ptr<TCustomThread> thread = std::make_unique<ProbeThread>(
        gui,
        [](ProbeThread& self) {
            while (!self.Terminated()) self.Sync([] {});
        },
        &gone);
    static_cast<ProbeThread*>(thread.get())->Start();
    ASSERT_TRUE(gui.WaitUntilQueued());
    EXPECT_FALSE(thread->SynchronizeRunning());
    TCustomThread::ReleaseAfterSynchronize(std::move(thread));
    EXPECT_TRUE(gone);
}

#if defined(__linux__)
TEST(CustomThreadNaming, ClassNameCutToFifteenCharactersOrTheNameMember) {
    TestGuiThread gui;
    ProbeThread unnamed(gui, [](ProbeThread& self) {
        self.NameThread();
        self.SeenName = CurrentThreadName();
    });
    unnamed.Start();
    unnamed.WaitFor();
    EXPECT_EQ(unnamed.SeenName, "ProbeThreadWith");

    ProbeThread named(gui, [](ProbeThread& self) {
        self.NameThread();
        self.SeenName = CurrentThreadName();
    });
    named.ThreadName = "pump";
    named.Start();
    named.WaitFor();
    EXPECT_EQ(named.SeenName, "pump");
}
#endif

}  // namespace
}  // namespace lumidra::hid
