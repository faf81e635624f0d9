#include "protocol/Widgets.h"

#include <QLabel>
#include <QPalette>
#include <QScreen>

namespace lumidra::protocol {

void SetCaption(QLabel& label, const QString& text) {
    label.setText(text);
    if (label.property(AutoSizeProperty).toBool()) label.adjustSize();
}

void SetBackground(QWidget& widget, const QColor& color) {
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

}  // namespace lumidra::protocol
