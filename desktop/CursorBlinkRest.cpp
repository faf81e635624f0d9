#include "desktop/CursorBlinkRest.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QStyleHints>
#include <QWidget>

namespace lumidra::desktop {

TCursorBlinkRest::TCursorBlinkRest(QObject* parent, int restMs)
    : QObject(parent), flashTime_(QGuiApplication::styleHints()->cursorFlashTime()) {
    rest_.setSingleShot(true);
    rest_.setInterval(restMs);
    connect(&rest_, &QTimer::timeout, this, [this] {
        resting_ = true;
        SetFlashTime(0);
    });
    qApp->installEventFilter(this);
    rest_.start();
}

TCursorBlinkRest::~TCursorBlinkRest() {
    qApp->removeEventFilter(this);
    if (resting_) QGuiApplication::styleHints()->setCursorFlashTime(flashTime_);
}

bool TCursorBlinkRest::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::InputMethod:
            // Restarting a running timer costs nothing while typing goes on.
            rest_.start();
            if (resting_) {
                resting_ = false;
                SetFlashTime(flashTime_);
            }
            break;
        default: break;
    }
    return false;
}

// Text edits pick a new rate up when they gain the focus: the one that has it
// is told again.
void TCursorBlinkRest::SetFlashTime(int ms) {
    QGuiApplication::styleHints()->setCursorFlashTime(ms);
    if (QWidget* focus = QApplication::focusWidget()) {
        QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(focus, &in);
    }
}

}  // namespace lumidra::desktop
