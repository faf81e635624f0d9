// The end of the run on SIGTERM (log-out, shutdown, kill), SIGINT and SIGHUP:
// not on the spot, but as a close on the GUI thread, so the board is told
// that the host leaves and nothing unsaved is lost.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace lumidra::app {

// While it exists, the three signals run `onSignal` on the GUI thread (at the
// next turn of whichever event loop runs, a modal box's included), with the
// first signal that came since the last turn. The handler itself only writes
// a byte to a pipe. One at a time.
class TSignalClose : public QObject {
public:
    explicit TSignalClose(std::function<void(int signal)> onSignal);
    ~TSignalClose() override;
    TSignalClose(const TSignalClose&) = delete;
    TSignalClose& operator=(const TSignalClose&) = delete;

private:
    std::function<void(int signal)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace lumidra::app
