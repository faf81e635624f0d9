// The end of a Windows session (log-off, shutdown, restart): Windows asks
// every top-level window whether the session may end (WM_QUERYENDSESSION),
// then tells them it ends (WM_ENDSESSION) and ends the process soon after
// the answer. The program never refuses; it cannot ask the operator either,
// so what a close would ask about is set aside when the session asks, and
// the board is told the host leaves before the last message is answered.
#pragma once

#include <QAbstractNativeEventFilter>

#include <functional>

namespace lumidra::app {

// While it exists, the session's messages to the program's windows run
// `onAsked` once per question (again only after an end that was called off)
// and `onEnd` once, when the session really ends, inside that message.
// Both run on the GUI thread, in the middle of a window message.
class TSessionEnd : public QAbstractNativeEventFilter {
public:
    TSessionEnd(std::function<void()> onAsked, std::function<void()> onEnd);
    ~TSessionEnd() override;
    TSessionEnd(const TSessionEnd&) = delete;
    TSessionEnd& operator=(const TSessionEnd&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> onAsked_;
    std::function<void()> onEnd_;
    // Every top-level window gets each message: the first of a round acts.
    bool asked_ = false;
    bool ended_ = false;
};

}  // namespace lumidra::app
