// The calls posted to a test's GUI thread, waiting for the test to pump them.
// Shared by the GUI threads of the tests, which differ only in how they wait
// and what else a turn of their loop does.
#pragma once

#include "hid/GuiCallQueue.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace lumidra::testing {

class TestCallQueue {
public:
    // Thread-safe.
    void Push(std::function<void()> call) {
        queue_.Push(std::move(call));
        Pushed();
    }
    void Push(std::shared_ptr<hid::TGuiCall> call) {
        queue_.Push(std::move(call));
        Pushed();
    }

    // Runs the calls queued now (not those they post); returns how many ran.
    int RunQueued() {
        int ran = 0;
        for (std::size_t n = queue_.Size(); n > 0; --n) {
            bool more = false;
            auto call = queue_.Take(more);
            if (!call) break;
            call->Run();
            ++ran;
        }
        return ran;
    }

    // Waits, running nothing, until a call is queued; false at the deadline.
    bool WaitUntilQueued(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return pushed_.wait_until(lock, deadline, [&] { return queue_.Size() > 0; });
    }

    std::size_t Size() const { return queue_.Size(); }

private:
    void Pushed() {
        // Taken between the push and the notification, so that a waiter that
        // found the queue empty is already waiting when it comes.
        { std::lock_guard lock(mutex_); }
        pushed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable pushed_;
    hid::TGuiCallQueue queue_;
};

}  // namespace lumidra::testing
