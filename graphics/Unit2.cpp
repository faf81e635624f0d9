#include "graphics/Unit2.h"

#include "desktop/Widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShowEvent>

namespace lumidra::graphics {

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
    setupUi(this);
    // The main window alone decides when the run ends.
    setAttribute(Qt::WA_QuitOnClose, false);

    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);
    desktop::SetBackground(*this, QApplication::palette("QMenuBar").color(QPalette::Window));

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    Form2 = this;
}

TForm2::~TForm2() {
    if (Form2 == this) Form2 = nullptr;
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

// Filled by the plot feature.
void TForm2::FormShow() {}
void TForm2::FormClose() {}
void TForm2::Button1Click() {}
void TForm2::Button2Click() {}

}  // namespace lumidra::graphics
