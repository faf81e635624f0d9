#include "desktop/Widgets.h"

#include <QLabel>
#include <QPalette>
#include <QScreen>

namespace lumidra::desktop {

void SetCaption(QLabel& label, const QString& text) {
    // An unchanged caption needs neither a new text nor a new size; the input
    // handler sets most captions to what they already show.
    if (label.text() == text) return;
    label.setText(text);
    if (label.property(AutoSizeProperty).toBool()) label.adjustSize();
}

void SetBackground(QWidget& widget, const QColor& color) {
    if (widget.autoFillBackground() && widget.palette().color(QPalette::Window) == color) return;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

QColor Background(const QWidget& widget) {
    return widget.palette().color(QPalette::Window);
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    // A window's position is that of its frame.
    window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

}  // namespace lumidra::desktop
