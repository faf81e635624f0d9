// An image component: a picture the program draws into pixel by pixel, shown
// at the widget's top-left corner, magnified by the largest whole factor that
// fits the widget. Magnified without smoothing, every picture pixel stays a
// sharp square, so single dots of a small picture can be told apart.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace lumidra::graphics {

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    // The picture, made white at the widget's size on first use unless one
    // was set. Call update() after drawing into it.
    QImage& Picture();
    const QImage& Picture() const { return const_cast<TImage*>(this)->Picture(); }
    // Replaces the picture (any size) and repaints.
    void SetPicture(const QImage& picture);
    // Fills the whole picture with one colour and repaints.
    void Fill(const QColor& color);
    // How many screen pixels a picture pixel takes each way.
    int Zoom() const;
    // Room for the picture twice its size, where a layout can give it.
    QSize sizeHint() const override;

signals:
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
};

}  // namespace lumidra::graphics
