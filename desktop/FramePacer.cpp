#include "desktop/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace lumidra::desktop {

TFramePacer::TFramePacer(QWidget& window, int frameMs) : QObject(&window), window_(window), frameMs_(frameMs) {
    frame_.setSingleShot(true);
    frame_.setTimerType(Qt::PreciseTimer);
    connect(&frame_, &QTimer::timeout, this, [this] {
        if (!pending_) return;
        pending_ = false;
        // The repaint manager still holds every dirty region: one request
        // paints them all.
        QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
    window.installEventFilter(this);
}

bool TFramePacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::UpdateRequest) return false;
    if (pending_) {
        ++heldBack_;
        return true;
    }
    // Only a paint within a frame of the last one arms the timer: a window
    // that changes once a second (the clock) paints at once and wakes nobody
    // a frame later.
    const qint64 since = lastPaint_.isValid() ? lastPaint_.elapsed() : frameMs_;
    if (since < frameMs_) {
        pending_ = true;
        ++heldBack_;
        frame_.start(static_cast<int>(frameMs_ - since));
        return true;
    }
    lastPaint_.start();
    return false;
}

}  // namespace lumidra::desktop
