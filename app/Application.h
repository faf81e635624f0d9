// The program's application object, and the window's general error report.
#pragma once

#include <QApplication>

#include <exception>

namespace lumidra::app {

// Every event, posted call and device notification of the run is delivered
// through notify(); an error that escapes its handler ends there, is shown
// to the operator, and the run goes on, instead of unwinding through the
// event loop (which would end the program).
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The general error report: one error box (caption "Lumidra", error icon)
// with the error's own text.
void ShowException(const std::exception_ptr& error);

}  // namespace lumidra::app
