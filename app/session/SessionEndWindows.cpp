#include "app/session/SessionEnd.h"

#include <QCoreApplication>

#include <windows.h>

#include <utility>

namespace lumidra::app {

TSessionEnd::TSessionEnd(std::function<void()> onAsked, std::function<void()> onEnd)
    : onAsked_(std::move(onAsked)), onEnd_(std::move(onEnd)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TSessionEnd::~TSessionEnd() {
    if (QCoreApplication* application = QCoreApplication::instance()) application->removeNativeEventFilter(this);
}

// Qt answers these messages itself too, but at the end it quits by closing
// every window as if the operator had, which would ask about an unsaved key
// base while the session waits: so the filter answers them, and Qt never sees
// them.
bool TSessionEnd::nativeEventFilter(const QByteArray&, void* message, qintptr* result) {
    const MSG& msg = *static_cast<const MSG*>(message);
    if (msg.message == WM_QUERYENDSESSION) {
        if (!asked_ && !ended_) {
            asked_ = true;
            onAsked_();
        }
        *result = TRUE;
        return true;
    }
    if (msg.message == WM_ENDSESSION) {
        if (msg.wParam == FALSE) {
            asked_ = false;  // called off: the run goes on as before
        } else if (!ended_) {
            ended_ = true;
            onEnd_();
        }
        *result = 0;
        return true;
    }
    return false;
}

}  // namespace lumidra::app
