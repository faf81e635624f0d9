// An image component: a picture the program draws into pixel by pixel,
// shown at the widget's top-left corner.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace lumidra::graphics {

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    // The picture, made white at the widget's size on first use. Call
    // update() after drawing into it.
    QImage& Picture();
    // Fills the whole picture with one colour and repaints.
    void Fill(const QColor& color);

signals:
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

}  // namespace lumidra::graphics
