// The hidden window that receives the system's device-change broadcasts.
//
// It is a top-level window, never shown: the system broadcasts "device nodes
// changed" to top-level windows only, so a message-only window would never
// hear of a device coming or going. It belongs to the thread that creates it
// (the GUI thread), and its messages reach it when that thread's loop
// dispatches Windows messages.
#pragma once

#include "hid/HidPlatform.h"

#include <memory>

namespace lumidra::hid {

class TWindowsNotifyWindow final : public THidNotifyWindow {
public:
    // Null when the window cannot be made (no window station or display driver).
    static std::unique_ptr<TWindowsNotifyWindow> Create(TGuiThread& gui, Handler handler);
    // Messages still queued for the window are dropped with it.
    ~TWindowsNotifyWindow() override;

    bool PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::intptr_t DefWindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;

    // The system's window handle.
    void* WindowHandle() const { return window_; }

private:
    TWindowsNotifyWindow(TGuiThread& gui, Handler handler);
    static std::intptr_t Dispatch(void* window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    friend struct TWindowsNotifyWindowProc;

    TGuiThread& gui_;
    Handler handler_;
    void* window_ = nullptr;
};

}  // namespace lumidra::hid
