// A GUI thread for tests without a toolkit: the thread that creates it is the
// GUI thread, and posted calls run only when the test pumps the queue.
#pragma once

#include "hid/GuiThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lumidra::testing {

class TestGuiThread final : public hid::TGuiThread {
public:
    TestGuiThread() : owner_(std::this_thread::get_id()) {}

    void Post(std::function<void()> call) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(call));
        }
        posted_.notify_all();
    }

    bool IsGuiThread() const override { return std::this_thread::get_id() == owner_; }

    // Runs the calls queued now (not those they post); returns how many ran.
    int ProcessPending() {
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

    // Pumps the queue until `done` holds or the timeout passes; true when done.
    template <class Predicate>
    bool RunUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (ProcessPending() > 0) continue;
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [&] { return !queue_.empty(); })) {
                lock.unlock();
                return done();
            }
        }
        return true;
    }

    // Pumps for a while, e.g. to see that nothing arrives.
    void RunFor(std::chrono::milliseconds duration) {
        const auto deadline = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < deadline) {
            ProcessPending();
            std::unique_lock lock(mutex_);
            posted_.wait_until(lock, deadline, [&] { return !queue_.empty(); });
        }
        ProcessPending();
    }

    // Waits, running nothing, until a call is queued; false on timeout.
    bool WaitUntilQueued(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, timeout, [&] { return !queue_.empty(); });
    }

    std::size_t Queued() const {
        std::lock_guard lock(mutex_);
        return queue_.size();
    }

private:
    const std::thread::id owner_;
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace lumidra::testing
