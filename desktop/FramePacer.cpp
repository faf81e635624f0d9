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
    // A widget the hook sets may ask for a paint at once (a progress bar
    // does): the paint under way takes it along.
    if (inFrame_) return true;
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
    requested_ = false;
    if (beforeFrame_) {
        inFrame_ = true;
        beforeFrame_();
        inFrame_ = false;
    }
    return false;
}

void TFramePacer::RequestFrame() {
    if (requested_) return;
    requested_ = true;
    // A pixel marked dirty is the way into the repaint manager: it asks for
    // the paint and sets what it paints, whatever the hook changes then
    // included. Within the hook that paint is already under way and would
    // take the pixel along, so the request waits for the loop.
    if (inFrame_) {
        QMetaObject::invokeMethod(
            this, [this] { mark_->update(0, 0, 1, 1); }, Qt::QueuedConnection);
        return;
    }
    mark_->update(0, 0, 1, 1);
}

}  // namespace lumidra::desktop
