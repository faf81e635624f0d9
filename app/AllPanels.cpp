#include "app/AllPanels.h"

#include "app/Unit1.h"
#include "app/ui_AllPanels.h"
#include "graphics/ChartWindow.h"

#include <QGridLayout>
#include <QMenu>

#include <stdexcept>

namespace lumidra::app {
namespace {

// AllPanels.ui holds stand-ins named after the window's widgets; this copies
// its layouts onto the window's widgets of the same names.
class TArrangement {
public:
    explicit TArrangement(QWidget& window) : window_(window) {}

    // A copy of `from` laid on `owner` (or free, to nest, when null).
    QLayout* Copy(const QLayout& from, QWidget* owner) {
        QLayout* to = nullptr;
        if (const auto* grid = qobject_cast<const QGridLayout*>(&from)) {
            auto* copy = new QGridLayout(owner);
            copy->setHorizontalSpacing(grid->horizontalSpacing());
            copy->setVerticalSpacing(grid->verticalSpacing());
            for (int i = 0; i < grid->count(); ++i) {
                int row = 0, column = 0, rows = 1, columns = 1;
                grid->getItemPosition(i, &row, &column, &rows, &columns);
                QLayoutItem* item = Item(*grid->itemAt(i));
                copy->addItem(item, row, column, rows, columns, grid->itemAt(i)->alignment());
            }
            for (int r = 0; r < grid->rowCount(); ++r) copy->setRowStretch(r, grid->rowStretch(r));
            for (int c = 0; c < grid->columnCount(); ++c) copy->setColumnStretch(c, grid->columnStretch(c));
            to = copy;
        } else if (const auto* box = qobject_cast<const QBoxLayout*>(&from)) {
            auto* copy = new QBoxLayout(box->direction(), owner);
            copy->setSpacing(box->spacing());
            for (int i = 0; i < box->count(); ++i) {
                copy->addItem(Item(*box->itemAt(i)));
                copy->setStretch(i, box->stretch(i));
            }
            to = copy;
        } else {
            throw std::logic_error("AllPanels.ui: only grid and box layouts are copied");
        }
        to->setObjectName(from.objectName());
        to->setContentsMargins(from.contentsMargins());
        return to;
    }

private:
    QLayoutItem* Item(QLayoutItem& from) {
        QLayoutItem* to = nullptr;
        if (QWidget* standIn = from.widget()) {
            to = new QWidgetItem(&Place(*standIn));
        } else if (QLayout* nested = from.layout()) {
            to = Copy(*nested, nullptr);
        } else if (QSpacerItem* spacer = from.spacerItem()) {
            const QSize hint = spacer->sizeHint();
            to = new QSpacerItem(hint.width(), hint.height(), spacer->sizePolicy().horizontalPolicy(),
                                 spacer->sizePolicy().verticalPolicy());
        } else {
            throw std::logic_error("AllPanels.ui: unknown layout item");
        }
        to->setAlignment(from.alignment());
        return to;
    }

    // The window's widget for a stand-in: shown, held to the stand-in's size
    // limits, and laid out inside as the stand-in is.
    QWidget& Place(const QWidget& standIn) {
        auto* widget = window_.findChild<QWidget*>(standIn.objectName());
        if (widget == nullptr) {
            throw std::logic_error("AllPanels.ui names no widget of the window: " + standIn.objectName().toStdString());
        }
        if (standIn.minimumSize() != QSize(0, 0)) widget->setMinimumSize(standIn.minimumSize());
        if (standIn.maximumSize() != QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) {
            widget->setMaximumSize(standIn.maximumSize());
        }
        if (const QLayout* inner = standIn.layout()) Copy(*inner, widget);
        widget->setVisible(true);
        return *widget;
    }

    QWidget& window_;
};

}  // namespace

void ShowAllPanels(TForm1& form) {
    QWidget standIns;
    Ui::TAllPanels arrangement;
    arrangement.setupUi(&standIns);
    TArrangement(form).Copy(*standIns.layout(), form.centralwidget);

    for (QMenu* menu : {form.MenuN1, form.Menu_Trans, form.Menu_Flash}) menu->menuAction()->setVisible(true);
    QAction* chart = form.MenuN1->addAction(graphics::ChartMenuText(), [] { graphics::ShowChartWindow(); });
    chart->setObjectName(QStringLiteral("Chart"));
    // The arrangement's size limits replaced some of the captions' fixed sizes.
    form.FixStatusCaptions();
    // The layouts' minimum holds now, not the stored layout's.
    form.setMinimumSize(0, 0);
    form.resize(form.sizeHint());
}

}  // namespace lumidra::app
