#include "desktop/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace lumidra::desktop {

TFramePacer::TFramePacer(QWidget& window) : QObject(&window), window_(window) {
    frame_.setSingleShot(true);
    frame_.setInterval(FrameMs);
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
    if (frame_.isActive()) {
        pending_ = true;
        ++heldBack_;
        return true;
    }
    frame_.start();
    return false;
}

}  // namespace lumidra::desktop
