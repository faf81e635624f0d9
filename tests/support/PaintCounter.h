// Counts the paints that reach a widget past the event filters installed on
// it after the counter (they run first, and may take a paint over).
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace lumidra::testing {

class TPaintCounter final : public QObject {
public:
    explicit TPaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        Count += event->type() == QEvent::Paint;
        return false;
    }
};

}  // namespace lumidra::testing
