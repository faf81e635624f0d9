// The device-change receiver on Linux.
//
// Windows delivers HidDeviceChangeMessage to a hidden window; here the "window" is
// a receiver whose messages travel to the GUI thread through TGuiThread, plus
// a small thread that watches a source of device events (a libudev monitor
// for hidraw nodes) and posts HidDevNodesChanged for every node added or
// removed.
#pragma once

#include "hid/GuiThread.h"
#include "hid/HidPlatform.h"

#include <memory>
#include <mutex>
#include <thread>

namespace lumidra::hid::hidraw {

// Where device-node events come from: a descriptor to poll and a way to take
// what arrived.
class TDeviceEventSource {
public:
    virtual ~TDeviceEventSource() = default;
    virtual int Fd() const = 0;
    // Takes the events readable now; returns how many node changes they held.
    virtual int TakeEvents() = 0;
};

// A libudev monitor for hidraw add and remove events, or null when none can
// be made. It listens to udevd's "udev" source when udevd runs, so that a
// program told of a new node finds udev's access rules already applied to
// it, and to the kernel's own events otherwise.
std::unique_ptr<TDeviceEventSource> CreateUdevEventSource();

class TNotifyWindow final : public THidNotifyWindow {
public:
    // With a null `source` the window only carries the messages posted to it.
    TNotifyWindow(TGuiThread& gui, Handler handler, std::unique_ptr<TDeviceEventSource> source);
    // Stops the watching thread. No message reaches the handler afterwards,
    // and a handler call running on another thread is waited for first.
    ~TNotifyWindow() override;

    bool PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::intptr_t DefWindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;

    bool Watching() const { return thread_.joinable(); }

private:
    struct TShared {
        std::recursive_mutex Mutex;  // held while the handler runs
        bool Alive = true;
        Handler Call;
    };

    void Watch();

    TGuiThread& gui_;
    std::shared_ptr<TShared> shared_;
    std::unique_ptr<TDeviceEventSource> source_;
    int stopFd_ = -1;
    std::thread thread_;
};

}  // namespace lumidra::hid::hidraw
