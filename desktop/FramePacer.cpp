#include "desktop/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <chrono>

namespace lumidra::desktop {

namespace {

qint64 SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TFramePacer::TFramePacer(QWidget& window, int frameMs)
    : QObject(&window), window_(window), frameMs_(frameMs), clock_(SteadyMs) {
    frame_.setSingleShot(true);
    frame_.setTimerType(Qt::PreciseTimer);
    connect(&frame_, &QTimer::timeout, this, &TFramePacer::FrameOver);
    window.installEventFilter(this);
}

void TFramePacer::SetClock(TClock clock) {
    clock_ = std::move(clock);
    lastPaint_.reset();
    frameEnd_ = clock_();
}

void TFramePacer::Arm(qint64 ms) {
    frameEnd_ = clock_() + ms;
    frame_.start(static_cast<int>(ms));
}

void TFramePacer::FrameOver() {
    // A timer may run a little early; the clock decides.
    const qint64 left = frameEnd_ - clock_();
    if (left > 0) {
        frame_.start(static_cast<int>(left));
        return;
    }
    // What was held back, and the frame asked for, now.
    MakeFrame();
}

bool TFramePacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::UpdateRequest || painting_) return false;
    // A widget the hook sets may ask for a paint at once (a progress bar
    // does): the frame's paint takes it along.
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
        Arm(frameMs_ - since);
        return true;
    }
    lastPaint_ = clock_();
    // A frame asked for goes with this paint: its timer wakes nobody.
    frame_.stop();
    requested_ = false;
    RunHook();
    return false;
}

qint64 TFramePacer::SinceLastPaint() const {
    return lastPaint_ ? clock_() - *lastPaint_ : frameMs_;
}

void TFramePacer::RunHook() {
    if (!beforeFrame_) return;
    inFrame_ = true;
    beforeFrame_();
    inFrame_ = false;
}

void TFramePacer::MakeFrame() {
    lastPaint_ = clock_();
    frame_.stop();
    pending_ = false;
    requested_ = false;
    RunHook();
    // Whatever is dirty now, the hook's changes and a paint held back, is
    // painted here: the requests the changes posted for themselves would
    // cost another turn of the loop, and a frame whose hook changed nothing
    // that shows paints nothing. A paint asked for by the paint itself is
    // posted after this and stays.
    QCoreApplication::removePostedEvents(&window_, QEvent::UpdateRequest);
    painting_ = true;
    QEvent paint(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(&window_, &paint);
    painting_ = false;
}

void TFramePacer::RequestFrame() {
    if (requested_) {
        // A frame asked for within a frame of the last paint waits for its
        // timer or, sooner, for a request once that frame is over: a board's
        // next report then makes it, and no timer wakes the program between
        // two reports.
        if (frame_.isActive() && SinceLastPaint() >= frameMs_) MakeFrame();
        return;
    }
    requested_ = true;
    // Within the hook the paint is already under way: the request is for
    // the frame after it.
    if (!inFrame_ && SinceLastPaint() >= frameMs_) {
        MakeFrame();
        return;
    }
    // A frame and a half from now at the latest, so that a board reporting
    // more often than that (up to 125 times a second) makes the frame with
    // its next report: a timer of a frame would fire first, every frame. A
    // held-back paint whose timer runs already takes the hook along.
    if (!frame_.isActive()) Arm(frameMs_ * 3 / 2);
}

}  // namespace lumidra::desktop
