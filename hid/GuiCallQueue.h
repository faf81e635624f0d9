// The calls waiting for the GUI thread, in the order posted: what every GUI
// thread of the device layer keeps, whatever loop runs them and however it is
// woken. Pushing a call that waits already allocates nothing, so a reader can
// hand report after report over without touching the heap.
#pragma once

#include "hid/GuiThread.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

namespace lumidra::hid {

class TGuiCallQueue {
public:
    TGuiCallQueue() = default;
    // Calls still waiting are let go without running.
    ~TGuiCallQueue();
    TGuiCallQueue(const TGuiCallQueue&) = delete;
    TGuiCallQueue& operator=(const TGuiCallQueue&) = delete;

    // Thread-safe. Appends `call` unless it waits already. True when the loop
    // must be woken: the queue had nothing waiting, or nothing that a wake-up
    // still on its way would take.
    bool Push(std::shared_ptr<TGuiCall> call);
    // The same for a one-off call (one allocation for it).
    bool Push(std::function<void()> call);

    // On the GUI thread: takes the first call out (null when none waits).
    // `More` tells that others wait behind it: the caller then owes the loop
    // one more wake-up, before it runs the call, so that a loop nested inside
    // the call (a modal box) takes them.
    std::shared_ptr<TGuiCall> Take(bool& More);

    std::size_t Size() const;

private:
    mutable std::mutex mutex_;
    TGuiCall* head_ = nullptr;
    TGuiCall* tail_ = nullptr;
    std::size_t size_ = 0;
    bool wakeOwed_ = false;
};

}  // namespace lumidra::hid
