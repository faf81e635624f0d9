#include "desktop/Widgets.h"

#include <QHash>
#include <QLabel>
#include <QPalette>
#include <QScreen>

#include <algorithm>

namespace lumidra::desktop {

namespace {

// The size an auto-size label takes for a text in a font. The channel labels
// take a new text with almost every status report, and laying the text out
// again each time would cost more than the rest of the report; they cycle
// through a few hundred texts at most.
QSize FittedSize(QLabel& label) {
    static QHash<QString, QSize> sizes;
    const QString key = label.font().key() + QLatin1Char('\n') + label.text();
    if (const auto it = sizes.constFind(key); it != sizes.constEnd()) return *it;
    label.adjustSize();
    if (sizes.size() >= 4096) sizes.clear();
    sizes.insert(key, label.size());
    return label.size();
}

}  // namespace

void SetCaption(QLabel& label, const QString& text) {
    // An unchanged caption needs neither a new text nor a new size; the input
    // handler sets most captions to what they already show.
    if (label.text() == text) return;
    label.setText(text);
    if (label.property(AutoSizeProperty).toBool()) label.resize(FittedSize(label));
}

void FixCaptionSize(QLabel& label, const QStringList& texts) {
    const QString shown = label.text();
    QSize size = label.size();
    for (const QString& text : texts) {
        label.setText(text);
        size = size.expandedTo(label.sizeHint());
    }
    label.setText(shown);
    label.setFixedSize(size);
    label.setProperty(AutoSizeProperty, false);
}

void SetBackground(QWidget& widget, const QColor& color) {
    if (widget.autoFillBackground() && widget.palette().color(QPalette::Window) == color) return;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void SetTwoBackgrounds(QWidget& widget, const QColor& first, const QColor& second) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, first);
    palette.setColor(QPalette::Base, second);
    widget.setPalette(palette);
    widget.setBackgroundRole(QPalette::Window);
    widget.setAutoFillBackground(true);
}

void ShowSecondBackground(QWidget& widget, bool second) {
    const QPalette::ColorRole role = second ? QPalette::Base : QPalette::Window;
    if (widget.backgroundRole() != role) widget.setBackgroundRole(role);
}

QColor Background(const QWidget& widget) {
    return widget.palette().color(widget.backgroundRole());
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    // A window's position is that of its frame.
    window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void ShowInFront(QWidget* window) {
    if (window == nullptr) return;
    window->show();
    window->raise();
    window->activateWindow();
}

QPoint BesidePosition(const QRect& area, const QRect& anchor, const QSize& size, int offset) {
    const auto within = [](int at, int low, int high) { return std::max(low, std::min(at, high)); };
    const int lowestTop = area.bottom() + 1 - size.height();
    if (area.right() - anchor.right() >= size.width()) {
        return {anchor.right() + 1, within(anchor.top(), area.top(), lowestTop)};
    }
    if (anchor.left() - area.left() >= size.width()) {
        return {anchor.left() - size.width(), within(anchor.top(), area.top(), lowestTop)};
    }
    return {within(anchor.left() - offset, area.left(), area.right() + 1 - size.width()),
            within(anchor.top() - offset, area.top(), lowestTop)};
}

void ShowBeside(QWidget& window, QWidget& anchor) {
    const QScreen* screen = anchor.screen();
    if (screen != nullptr) {
        // The window has no frame before it is shown: it gets one like the anchor's.
        const QRect frame = anchor.frameGeometry();
        const QSize frameExtra = frame.size() - anchor.size();
        const int titleHeight = anchor.geometry().top() - frame.top();
        constexpr int LeastOffset = 32;  // a title bar, where the platform gives no frame
        window.move(BesidePosition(screen->availableGeometry(), frame, window.size() + frameExtra,
                                   std::max(titleHeight, LeastOffset)));
    }
    window.show();
    ShowInFront(&anchor);
}

}  // namespace lumidra::desktop
