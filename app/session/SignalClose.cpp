#include "app/session/SignalClose.h"

#include "desktop/OutputFile.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace lumidra::app {

namespace {

constexpr int ClosingSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeFds[2] = {-1, -1};

extern "C" void OnClosingSignal(int signal) {
    const int saved = errno;
    desktop::CutBlockedWrites();
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

}  // namespace

TSignalClose::TSignalClose(std::function<void(int signal)> onSignal) : onSignal_(std::move(onSignal)) {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        int first = 0;
        for (ssize_t n; (n = ::read(pipeFds[0], bytes, sizeof bytes)) > 0;) {
            if (first == 0) first = static_cast<unsigned char>(bytes[0]);
        }
        if (onSignal_ && first != 0) onSignal_(first);
    });
    struct sigaction action {};
    action.sa_handler = &OnClosingSignal;
    sigemptyset(&action.sa_mask);
    // Not restarted: a write that waits for a reader who stopped reading
    // returns, so the close can end the job on the board.
    action.sa_flags = 0;
    for (int signal : ClosingSignals) ::sigaction(signal, &action, nullptr);
}

TSignalClose::~TSignalClose() {
    if (notifier_ == nullptr) return;
    for (int signal : ClosingSignals) std::signal(signal, SIG_DFL);
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

}  // namespace lumidra::app
