// A worker thread with a terminate request, a wait for its end, and calls it
// hands to the GUI thread and waits for (the synchronised call).
//
// The body runs once, on its own thread, from Start() until it returns or
// throws; the thread keeps what it threw and nothing shows it. A body asks to
// run code on the GUI thread with Synchronize(): the call is posted to the GUI
// thread's loop and the body blocks until it has run there; an exception the
// call throws comes back and is rethrown in the body.
//
// Waiting for such a thread on the GUI thread needs care: a body blocked in
// Synchronize() can only go on once the GUI thread runs its call, so WaitFor()
// on the GUI thread runs the thread's pending call itself while it waits. And
// when the call is already running further down the GUI thread's own stack, no
// wait can ever end: ReleaseAfterSynchronize() then hands the thread to that
// call, which joins and deletes it once it returns.
#pragma once

#include "hid/Method.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace lumidra::hid {

class TGuiThread;

class TCustomThread : public TObject {
public:
    explicit TCustomThread(TGuiThread& Gui);
    // A derived class whose body uses its own members must stop the thread in
    // its own destructor; this one only makes sure nothing is left running.
    ~TCustomThread() override;

    // Starts the body on a new thread. Once per object.
    void Start();

    // Asks the body to end; the body polls Terminated().
    void Terminate() { terminated_.store(true, std::memory_order_release); }
    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

    // Waits for the body's end and joins the thread. On the GUI thread, runs the
    // thread's synchronised calls while waiting. Must not be called on the GUI
    // thread while SynchronizeRunning() (it could never return).
    void WaitFor();

    // Whether the body has ended.
    bool Finished() const;
    // What ended the body with an error, or null.
    std::exception_ptr FatalException() const;

    // Whether a synchronised call of this thread is running now. Asked on the
    // GUI thread, true means that call is further down the caller's own stack.
    bool SynchronizeRunning() const;

    // Asks the thread to terminate and releases it: at once (waiting for its
    // end) unless a synchronised call of it is running further down the GUI
    // thread's stack; then the GUI thread joins and deletes it as soon as that
    // call has returned, and the caller goes on without waiting.
    static void ReleaseAfterSynchronize(std::unique_ptr<TCustomThread> Thread);

    // Optional name for debuggers; set it before Start(). Empty: the class name.
    std::string ThreadName;

    // Announces the thread's name through the platform's thread-naming
    // convention; call it on the thread itself. Names are cut to what the
    // platform takes (15 characters on Linux).
    void NameThread();

protected:
    virtual void Execute() = 0;
    virtual const char* ClassName() const { return "TCustomThread"; }

    // Runs `Call` on the GUI thread and waits for it; rethrows what it threw.
    // Called on the GUI thread itself, runs it directly.
    void Synchronize(std::function<void()> Call);

    TGuiThread& Gui() const { return gui_; }

private:
    struct TShared;

    void Run();
    static void RunCall(TShared& Shared, std::uint64_t Serial);

    TGuiThread& gui_;
    std::atomic<bool> terminated_{false};
    // Outlives the object while it waits in the GUI thread's queue.
    std::shared_ptr<TShared> shared_;
    std::thread thread_;
};

}  // namespace lumidra::hid
