// Paints a window at the screen's pace, however often its widgets change.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>

class QWidget;

namespace lumidra::desktop {

// A board can change the status widgets a thousand times a second; painting
// each change (a progress bar even repaints at once when its value moves)
// would cost far more than decoding it. Installed on a top-level window,
// the pacer lets one paint through per frame and holds the rest back: the
// widgets' state is always current, and what they show is at most a frame
// old, a frame and a half for a frame asked for (below). The held-back paint
// runs when the frame is over; a paint that comes more than a frame after the
// last one goes through at once, with no timer.
//
// Setting a widget costs too (a text is laid out, a size hint asked for):
// what changes often can wait for the frame instead, kept as a value and set
// by the frame's hook, once a frame, and painted right after it.
class TFramePacer : public QObject {
    Q_OBJECT

public:
    static constexpr int FrameMs = 16;
    // Milliseconds on a clock that never goes back.
    using TClock = std::function<qint64()>;

    // `frameMs`: the shortest time between two paints.
    explicit TFramePacer(QWidget& window, int frameMs = FrameMs);

    // The clock that says when a frame is over (the system's steady clock
    // until set). The frame's timer only wakes the pacer: a frame is made
    // when this clock says it is over, so a test that holds its clock still
    // holds every frame until it moves it. The last paint is forgotten.
    void SetClock(TClock clock);

    // Runs `beforeFrame` at the start of each frame, right before its paint,
    // while what it sets still goes into that paint.
    void SetBeforeFrame(std::function<void()> beforeFrame) { beforeFrame_ = std::move(beforeFrame); }
    // Asks for a frame (and so for the hook) though no widget may have
    // changed yet. When the last paint is a frame old the frame is made at
    // once, within the call: the hook runs and whatever is dirty is painted,
    // nothing if the hook changed nothing. Otherwise it comes when that frame
    // is over: with the first request after its end (a board's reports ask
    // for it with each change, so the frame comes with a report, not with a
    // timer of its own between two), or with its timer, a frame and a half
    // after the request, when no report comes by then. Asked from the hook,
    // it is the frame after this one. Asked again before that frame, it
    // costs a look at the clock.
    void RequestFrame();

    // Paints held back so far (for tests and benchmarks).
    int HeldBack() const { return heldBack_; }
    // Whether a held-back paint or a frame asked for waits for the frame's end.
    bool FrameArmed() const { return frame_.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    qint64 SinceLastPaint() const;
    // Wakes the pacer in `ms`, when the frame held back or asked for is over.
    void Arm(qint64 ms);
    // The timer ran: the frame, if the clock says it is over.
    void FrameOver();
    void RunHook();
    // The hook, then a paint of whatever is dirty, now.
    void MakeFrame();

    QWidget& window_;
    const int frameMs_;
    TClock clock_;
    QTimer frame_;
    std::optional<qint64> lastPaint_;  // when the last paint was let through
    qint64 frameEnd_ = 0;              // when the frame the timer waits for is over
    bool pending_ = false;             // a paint is held back until the frame's end
    int heldBack_ = 0;
    std::function<void()> beforeFrame_;
    bool inFrame_ = false;    // the hook runs
    bool painting_ = false;   // the frame's own paint is under way
    bool requested_ = false;  // a frame is asked for and its hook has not run
};

}  // namespace lumidra::desktop
