// The plot window: a 1024 x 512 surface on which the plot job paints the
// points the board sends, with "Пауза" and "Дальше" below it.
#pragma once

#include "graphics/ui_Unit2.h"

#include <QWidget>

namespace lumidra::graphics {

class TForm2 : public QWidget, public Ui::TForm2 {
    Q_OBJECT
public:
    // Created hidden; shown modeless by the main window's "Random" command.
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // The window's own handlers. The plot job's controls land in them with
    // the plot feature; until then they do nothing.
    void FormShow();
    void FormClose();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool centred_ = false;
};

// The one plot window of the run, or null before it is made.
extern TForm2* Form2;

}  // namespace lumidra::graphics
