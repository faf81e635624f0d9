// The device layer's only way into the GUI thread's event loop.
//
// The program implements it over its toolkit's event loop; the layer's own
// tests implement it with a plain queue they pump by hand. Readers hand their
// reports over through it, and the notification window receives its messages
// through it on platforms whose device-change source is not a window.
#pragma once

#include <functional>
#include <memory>

namespace lumidra::hid {

class TGuiCallQueue;

// A call that its owner posts again and again without allocating anything:
// how a reader hands each report over. The GUI thread links it into its queue
// by the call's own members and holds a reference to it while it waits there.
class TGuiCall {
public:
    virtual ~TGuiCall() = default;
    // On the GUI thread, when the call's turn comes.
    virtual void Run() = 0;

private:
    friend class TGuiCallQueue;
    std::shared_ptr<TGuiCall> queuedHold_;  // set while queued
    TGuiCall* next_ = nullptr;
};

class TGuiThread {
public:
    virtual ~TGuiThread() = default;
    // Thread-safe. Runs `call` on the GUI thread at a later turn of its loop,
    // also inside nested loops (a modal box). Calls run in the order posted.
    virtual void Post(std::function<void()> call) = 0;
    // Thread-safe, and allocates nothing: `call` runs like a posted call, in
    // the same order. Posting a call that is still waiting leaves it where it
    // is: it runs once. Calls still waiting when the GUI thread ends never run.
    virtual void PostCall(std::shared_ptr<TGuiCall> call) = 0;
    // Whether the calling thread is the GUI thread.
    virtual bool IsGuiThread() const = 0;
};

}  // namespace lumidra::hid
