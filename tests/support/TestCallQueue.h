// The calls posted to a test's GUI thread, waiting for the test to pump them.
// Shared by the GUI threads of the tests, which differ only in how they wait
// and what else a turn of their loop does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace lumidra::testing {

class TestCallQueue {
public:
    // Thread-safe.
    void Push(std::function<void()> call) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(call));
        }
        pushed_.notify_all();
    }

    // Runs the calls queued now (not those they post); returns how many ran.
    int RunQueued() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(queue_);
        }
        int ran = 0;
        while (!batch.empty()) {
            auto call = std::move(batch.front());
            batch.pop_front();
            call();
            ++ran;
        }
        return ran;
    }

    // Waits, running nothing, until a call is queued; false at the deadline.
    bool WaitUntilQueued(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return pushed_.wait_until(lock, deadline, [&] { return !queue_.empty(); });
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable pushed_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace lumidra::testing
