#include "desktop/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace lumidra::desktop {

TFramePacer::TFramePacer(QWidget& window, int frameMs) : QObject(&window), window_(window), frameMs_(frameMs) {
    frame_.setSingleShot(true);
    frame_.setTimerType(Qt::PreciseTimer);
    connect(&frame_, &QTimer::timeout, this, [this] {
        if (pending_) {
            pending_ = false;
            // The repaint manager still holds every dirty region: one
            // request paints them all.
            QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
        } else if (requested_) {
            MarkFrame();
        }
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
    const qint64 since = SinceLastPaint();
    if (since < frameMs_) {
        pending_ = true;
        ++heldBack_;
        frame_.start(static_cast<int>(frameMs_ - since));
        return true;
    }
    lastPaint_.start();
    // A frame asked for goes with this paint: its timer wakes nobody.
    frame_.stop();
    requested_ = false;
    if (beforeFrame_) {
        inFrame_ = true;
        beforeFrame_();
        inFrame_ = false;
    }
    return false;
}

qint64 TFramePacer::SinceLastPaint() const {
    return lastPaint_.isValid() ? lastPaint_.elapsed() : frameMs_;
}

void TFramePacer::MarkFrame() {
    // A pixel marked dirty is the way into the repaint manager: it asks for
    // the paint and sets what it paints, whatever the hook changes then
    // included.
    mark_->update(0, 0, 1, 1);
}

void TFramePacer::RequestFrame() {
    if (requested_) {
        // A frame asked for within a frame of the last paint waits for its
        // timer or, sooner, for a request once that frame is over: a board's
        // next report then paints it, and no timer wakes the program between
        // two reports.
        if (frame_.isActive() && !pending_ && SinceLastPaint() >= frameMs_) {
            frame_.stop();
            MarkFrame();
        }
        return;
    }
    requested_ = true;
    // Within the hook the paint is already under way: the request is for
    // the frame after it.
    if (!inFrame_ && SinceLastPaint() >= frameMs_) {
        MarkFrame();
        return;
    }
    // At most a frame from now; a held-back paint whose timer runs already
    // takes the hook along.
    if (!frame_.isActive()) frame_.start(frameMs_);
}

}  // namespace lumidra::desktop
