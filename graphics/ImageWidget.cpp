#include "graphics/ImageWidget.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace lumidra::graphics {

TImage::TImage(QWidget* parent) : QWidget(parent) {}

QImage& TImage::Picture() {
    if (picture_.isNull()) {
        picture_ = QImage(size(), QImage::Format_RGB32);
        picture_.fill(Qt::white);
    }
    return picture_;
}

void TImage::Fill(const QColor& color) {
    Picture().fill(color);
    update();
}

void TImage::paintEvent(QPaintEvent* event) {
    // Only what changed: the plot window repaints a few pixels per report.
    QPainter painter(this);
    const QImage& picture = Picture();
    for (const QRect& rect : event->region()) painter.drawImage(rect.topLeft(), picture, rect);
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit DoubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace lumidra::graphics
