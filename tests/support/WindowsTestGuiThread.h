// A GUI thread for tests on Windows: like TestGuiThread, the creating thread
// is the GUI thread and posted calls run only while the test pumps; pumping
// here also dispatches the thread's Windows messages, which is how window
// messages (device-change notifications) reach their windows. It brings in
// the Windows headers: include it after the device layer's headers.
#pragma once

#include "hid/GuiThread.h"
#include "tests/support/TestCallQueue.h"

#include "hid/windows/WindowsApi.h"

#include <chrono>
#include <functional>
#include <memory>

namespace lumidra::testing {

class WindowsTestGuiThread final : public hid::TGuiThread {
public:
    WindowsTestGuiThread() : owner_(GetCurrentThreadId()), posted_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
        // Makes sure the thread has a message queue before anything posts to it.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    ~WindowsTestGuiThread() override { CloseHandle(posted_); }
    WindowsTestGuiThread(const WindowsTestGuiThread&) = delete;
    WindowsTestGuiThread& operator=(const WindowsTestGuiThread&) = delete;

    void Post(std::function<void()> call) override {
        queue_.Push(std::move(call));
        SetEvent(posted_);
    }
    void PostCall(std::shared_ptr<hid::TGuiCall> call) override {
        queue_.Push(std::move(call));
        SetEvent(posted_);
    }

    bool IsGuiThread() const override { return GetCurrentThreadId() == owner_; }

    // Runs the calls queued now (not those they post) and dispatches the
    // Windows messages waiting now; returns how many calls and messages ran.
    int ProcessPending() {
        int ran = queue_.RunQueued();
        // Bounded, so that a window re-posting to itself cannot hold the loop.
        MSG msg;
        for (int i = 0; i < 256 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            ++ran;
        }
        return ran;
    }

    // Pumps until `done` holds or the timeout passes; true when done.
    template <class Predicate>
    bool RunUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (ProcessPending() > 0) continue;
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) return done();
            WaitForWork(deadline - now);
        }
        return true;
    }

    // Pumps for a while, e.g. to see that nothing arrives.
    void RunFor(std::chrono::milliseconds duration) {
        const auto deadline = std::chrono::steady_clock::now() + duration;
        for (auto now = std::chrono::steady_clock::now(); now < deadline; now = std::chrono::steady_clock::now()) {
            if (ProcessPending() == 0) WaitForWork(deadline - now);
        }
        ProcessPending();
    }

    std::size_t Queued() const { return queue_.Size(); }

private:
    // Until a call is posted, a Windows message arrives, or the time is up.
    void WaitForWork(std::chrono::steady_clock::duration left) {
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        MsgWaitForMultipleObjectsEx(1, &posted_, static_cast<DWORD>(ms), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }

    const DWORD owner_;
    HANDLE posted_;
    TestCallQueue queue_;
};

}  // namespace lumidra::testing
