// A GUI thread for tests without a toolkit: the thread that creates it is the
// GUI thread, and posted calls run only when the test pumps the queue.
#pragma once

#include "hid/GuiThread.h"
#include "tests/support/TestCallQueue.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace lumidra::testing {

class TestGuiThread final : public hid::TGuiThread {
public:
    TestGuiThread() : owner_(std::this_thread::get_id()) {}

    void Post(std::function<void()> call) override { queue_.Push(std::move(call)); }
    void PostCall(std::shared_ptr<hid::TGuiCall> call) override { queue_.Push(std::move(call)); }

    bool IsGuiThread() const override { return std::this_thread::get_id() == owner_; }

    // Runs the calls queued now (not those they post); returns how many ran.
    int ProcessPending() { return queue_.RunQueued(); }

    // Pumps the queue until `done` holds or the timeout passes; true when done.
    template <class Predicate>
    bool RunUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (ProcessPending() > 0) continue;
            if (!queue_.WaitUntilQueued(deadline)) return done();
        }
        return true;
    }

    // Pumps for a while, e.g. to see that nothing arrives.
    void RunFor(std::chrono::milliseconds duration) {
        const auto deadline = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < deadline) {
            ProcessPending();
            queue_.WaitUntilQueued(deadline);
        }
        ProcessPending();
    }

    // Waits, running nothing, until a call is queued; false on timeout.
    bool WaitUntilQueued(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return queue_.WaitUntilQueued(std::chrono::steady_clock::now() + timeout);
    }

    std::size_t Queued() const { return queue_.Size(); }

private:
    const std::thread::id owner_;
    TestCallQueue queue_;
};

}  // namespace lumidra::testing
