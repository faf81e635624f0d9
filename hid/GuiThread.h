// The device layer's only way into the GUI thread's event loop.
//
// The program implements it over its toolkit's event loop; the layer's own
// tests implement it with a plain queue they pump by hand. Readers hand their
// reports over through it, and the notification window receives its messages
// through it on platforms whose device-change source is not a window.
#pragma once

#include <functional>

namespace lumidra::hid {

class TGuiThread {
public:
    virtual ~TGuiThread() = default;
    // Thread-safe. Runs `call` on the GUI thread at a later turn of its loop,
    // also inside nested loops (a modal box). Calls run in the order posted.
    virtual void Post(std::function<void()> call) = 0;
    // Whether the calling thread is the GUI thread.
    virtual bool IsGuiThread() const = 0;
};

}  // namespace lumidra::hid
