#include "hid/windows/WindowsNotifyWindow.h"

#include "hid/GuiThread.h"
#include "hid/windows/WindowsHidPlatform.h"

#include "hid/windows/WindowsApi.h"

#include <exception>

namespace lumidra::hid {

struct TWindowsNotifyWindowProc {
    static LRESULT CALLBACK Run(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        return TWindowsNotifyWindow::Dispatch(window, msg, wParam, lParam);
    }
};

namespace {

bool RegisterWindowClass() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &TWindowsNotifyWindowProc::Run;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = WindowsNotifyWindowClass;
    return RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

TWindowsNotifyWindow::TWindowsNotifyWindow(TGuiThread& gui, Handler handler)
    : gui_(gui), handler_(std::move(handler)) {}

std::unique_ptr<TWindowsNotifyWindow> TWindowsNotifyWindow::Create(TGuiThread& gui, Handler handler) {
    if (!RegisterWindowClass()) return nullptr;
    std::unique_ptr<TWindowsNotifyWindow> result(new TWindowsNotifyWindow(gui, std::move(handler)));
    // Top-level (no parent) and never visible; kept off the task bar should
    // anything ever show it.
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, WindowsNotifyWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    result->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(result.get()));
    return result;
}

TWindowsNotifyWindow::~TWindowsNotifyWindow() {
    HWND window = static_cast<HWND>(window_);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(window);
    } else {
        // Only its own thread may destroy a window; the default procedure
        // does so there on WM_CLOSE.
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}

bool TWindowsNotifyWindow::PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return PostMessageA(static_cast<HWND>(window_), msg, wParam, lParam) != FALSE;
}

std::intptr_t TWindowsNotifyWindow::DefWindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return DefWindowProcA(static_cast<HWND>(window_), msg, wParam, lParam);
}

std::intptr_t TWindowsNotifyWindow::Dispatch(void* window, std::uint32_t msg, std::uintptr_t wParam,
                                             std::intptr_t lParam) {
    HWND hwnd = static_cast<HWND>(window);
    auto* self = reinterpret_cast<TWindowsNotifyWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    // Only device changes concern the owner; the window's own housekeeping
    // (creation, destruction, ...) goes to the default procedure directly.
    if (!self || msg != WM_DEVICECHANGE) return DefWindowProcA(hwnd, msg, wParam, lParam);
    // The handler may destroy this window (and `self`, with its copy of the
    // handler) before it returns: nothing of `self` is used during or after it.
    TGuiThread& gui = self->gui_;
    const Handler handler = self->handler_;
    try {
        return handler(msg, wParam, lParam);
    } catch (...) {
        // An error must not unwind through the system's message dispatch; it
        // goes on to the GUI thread's own error handling at the loop's next
        // turn instead, as if it had been raised there.
        gui.Post([error = std::current_exception()] { std::rethrow_exception(error); });
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace lumidra::hid
