#include "graphics/ImageWidget.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace lumidra::graphics {

TImage::TImage(QWidget* parent) : QWidget(parent) {}

QImage& TImage::Picture() {
    if (picture_.isNull()) {
        picture_ = QImage(size(), QImage::Format_RGB32);
        picture_.fill(Qt::white);
    }
    return picture_;
}

void TImage::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TImage::Fill(const QColor& color) {
    Picture().fill(color);
    update();
}

int TImage::Zoom() const {
    const QSize picture = Picture().size();
    if (picture.isEmpty()) return 1;
    return std::max(1, std::min(width() / picture.width(), height() / picture.height()));
}

QSize TImage::sizeHint() const {
    return Picture().size() * 2;
}

void TImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QImage& picture = Picture();
    const int zoom = Zoom();
    if (zoom == 1) {
        // Only what changed: the plot window repaints a few pixels per report,
        // scattered over the picture. One drawing of their bounding box, which
        // the painter clips to the changed pixels, costs far less than one
        // drawing per pixel.
        const QRect changed = event->region().boundingRect();
        painter.drawImage(changed.topLeft(), picture, changed);
        return;
    }
    // Nearest pixel, no blending: a dot stays a square of one colour.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(QPoint(0, 0), picture.size() * zoom), picture);
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit DoubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace lumidra::graphics
