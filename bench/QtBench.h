// What the benchmarks that drive the real windows share: one offscreen
// application, and a loop that runs until a condition holds.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

namespace lumidra::bench {

inline QApplication* Application() {
    static int argc = 1;
    static char name[] = "lumidra-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(argc, argv);
    return &application;
}

// Runs the loop until `done` holds (or 60 s pass).
template <typename Pred>
bool RunUntil(Pred done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 60000) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

}  // namespace lumidra::bench
