#include "graphics/Unit2.h"

#include "desktop/FramePacer.h"
#include "desktop/Widgets.h"
#include "graphics/PlotJob.h"
#include "protocol/ProtocolState.h"

#include <QApplication>
#include <QCloseEvent>
#include <QRegion>
#include <QShowEvent>

#include <vector>

namespace lumidra::graphics {

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
    setupUi(this);
    // The surface covers its whole area: nothing beneath it needs painting
    // when a few of its pixels are repainted.
    Image1->setAttribute(Qt::WA_OpaquePaintEvent);
    // The main window alone decides when the run ends.
    setAttribute(Qt::WA_QuitOnClose, false);

    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);
    desktop::SetBackground(*this, QApplication::palette("QMenuBar").color(QPalette::Window));

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    UpdateButtons();
    // A plot would paint every report the board sends (a hundred a second or
    // more): 25 paints a second show the dots as they come, at a quarter of
    // the cost.
    new desktop::TFramePacer(*this, PlotFrameMs);
    Form2 = this;
    PlotView = this;
}

TForm2::~TForm2() {
    if (Form2 == this) Form2 = nullptr;
    if (PlotView == this) PlotView = nullptr;
}

void ShowPlotWindow() {
    desktop::ShowInFront(Form2);
}

void TForm2::Clear() {
    Image1->Fill(Qt::white);
    ShowNote(QString());
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    if (!centred_) {
        centred_ = true;
        desktop::CentreOnScreen(*this);
    }
    FormShow();
}

void TForm2::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TForm2::FormShow() {
    StartPlot(*this);
}

void TForm2::FormClose() {
    StopPlot(*this);
}

void TForm2::Button1Click() {
    PausePlot(*this);
}

void TForm2::Button2Click() {
    ResumePlot(*this);
}

void TForm2::UpdateButtons() {
    using namespace protocol;
    const TPlotButtons enabled = PlotButtons(PlotPending, JobActive, PlotRunning);
    Button1->setEnabled(enabled.Pause);
    Button2->setEnabled(enabled.Resume);
}

void TForm2::PaintPoints(const TPointReport& points) {
    QImage& picture = Image1->Picture();
    const QRgb black = qRgb(0, 0, 0);
    std::vector<TPlotPixel> pixels;
    pixels.reserve(PlotPointsPerReport);
    for (int i = 0; i < PlotPointsPerReport; ++i) {
        const auto at = 2 * static_cast<std::size_t>(i);
        const TPlotPixel pixel = PlotPixel(i, points[at], points[at + 1]);
        if (pixel.X < picture.width() && pixel.Y < picture.height()) {
            reinterpret_cast<QRgb*>(picture.scanLine(pixel.Y))[pixel.X] = black;
            pixels.push_back(pixel);
        }
    }
    // One repaint per report, not per point, and of the painted pixels only:
    // the window keeps up with the board's full rate. The region is made in
    // one go; adding the pixels one by one cost more than painting them.
    std::vector<QRect> rects;
    for (const TPixelRun& run : PixelRuns(std::move(pixels))) rects.emplace_back(run.X, run.Y, run.Width, 1);
    QRegion painted;
    painted.setRects(rects.data(), static_cast<int>(rects.size()));
    Image1->update(painted);
}

void TForm2::ShowNote(const QString& text) {
    Label1->setText(text);
}

}  // namespace lumidra::graphics
