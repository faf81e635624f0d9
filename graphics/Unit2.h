// The plot window: a 1024 x 512 surface on which the plot job paints the
// points the board sends, with "Пауза" and "Дальше" below it.
#pragma once

#include "graphics/PlotJob.h"
#include "graphics/PlotLogic.h"
#include "graphics/ui_Unit2.h"

#include <QWidget>

namespace lumidra::graphics {

class TForm2 : public QWidget, public Ui::TForm2, public TPlotView {
    Q_OBJECT
public:
    // The shortest time between two paints of the plot.
    static constexpr int PlotFrameMs = 40;

    // Created hidden; shown modeless by the main window's "Random" command.
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // The window's own handlers: showing it starts a plot, "Пауза" and
    // "Дальше" pause and resume it, closing it stops it.
    void FormShow();
    void FormClose();
    void Button1Click();
    void Button2Click();

    // A white surface and no note.
    void Clear() override;
    // Enables each button only while it does something.
    void UpdateButtons() override;
    // Paints one report's points black, then repaints once.
    void PaintPoints(const TPointReport& points) override;
    // The line under the surface: what went wrong with the record file.
    void ShowNote(const QString& text) override;
    bool Showing() const override { return isVisible(); }
    void Hide() override { hide(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool centred_ = false;
};

// The one plot window of the run, or null before it is made.
extern TForm2* Form2;

// "Random": shows the plot window modeless and brings it to the front.
void ShowPlotWindow();

}  // namespace lumidra::graphics
