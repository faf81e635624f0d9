#include "hid/linux/NotifyWindow.h"

#include <cerrno>
#include <cstring>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace lumidra::hid::hidraw {

namespace {

class TUdevEventSource final : public TDeviceEventSource {
public:
    TUdevEventSource(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}
    ~TUdevEventSource() override {
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
    }

    int Fd() const override { return udev_monitor_get_fd(monitor_); }

    int TakeEvents() override {
        int changes = 0;
        for (;;) {
            errno = 0;
            udev_device* device = udev_monitor_receive_device(monitor_);
            if (!device) {
                // A full socket buffer drops events: have the nodes re-read.
                if (errno == ENOBUFS && changes == 0) changes = 1;
                return changes;
            }
            const char* action = udev_device_get_action(device);
            if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) ++changes;
            udev_device_unref(device);
        }
    }

private:
    udev* udev_;
    udev_monitor* monitor_;
};

}  // namespace

std::unique_ptr<TDeviceEventSource> CreateUdevEventSource() {
    // The monitor gets a context of its own: libudev objects are not shared
    // between threads, and this one lives on the watching thread.
    udev* context = udev_new();
    if (!context) return nullptr;
    // udevd announces its events only after its rules ran (node permissions
    // included); without udevd the kernel's events are all there is.
    const bool udevd = ::access("/run/udev/control", F_OK) == 0;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, udevd ? "udev" : "kernel");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor) udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::make_unique<TUdevEventSource>(context, monitor);
}

TNotifyWindow::TNotifyWindow(TGuiThread& gui, Handler handler, std::unique_ptr<TDeviceEventSource> source)
    : gui_(gui), shared_(std::make_shared<TShared>()), source_(std::move(source)) {
    shared_->Call = std::move(handler);
    if (source_) {
        stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (stopFd_ >= 0) thread_ = std::thread([this] { Watch(); });
    }
}

TNotifyWindow::~TNotifyWindow() {
    {
        std::lock_guard lock(shared_->Mutex);
        shared_->Alive = false;
    }
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
        thread_.join();
    }
    if (stopFd_ >= 0) ::close(stopFd_);
}

bool TNotifyWindow::PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    gui_.Post([shared = shared_, msg, wParam, lParam] {
        std::lock_guard lock(shared->Mutex);
        if (shared->Alive && shared->Call) shared->Call(msg, wParam, lParam);
    });
    return true;
}

std::intptr_t TNotifyWindow::DefWindowProc(std::uint32_t, std::uintptr_t, std::intptr_t) {
    return 0;
}

void TNotifyWindow::Watch() {
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {source_->Fd(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) return;
        if (fds[1].revents & POLLIN) {
            const int changes = source_->TakeEvents();
            for (int i = 0; i < changes; ++i) PostMessage(HidDeviceChangeMessage, HidDevNodesChanged, 0);
        } else if (fds[1].revents) {
            return;  // the source broke; polling it again would only spin
        }
    }
}

}  // namespace lumidra::hid::hidraw
