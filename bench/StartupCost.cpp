// Start to window shown: from the process's start (as the kernel records it)
// to the main window's first paint, going the program's way to it (the
// application object, the device layer on the system's HID platform, the
// main window and the hidden plot window). A program of its own, since an
// application object is made once per process; offscreen unless
// QT_QPA_PLATFORM says otherwise. Prints the time and its ratio to the goal,
// 300 ms.
#include "app/Application.h"
#include "app/session/QtGuiThread.h"
#include "app/session/Startup.h"
#include "app/Unit1.h"
#include "graphics/Unit2.h"

#if defined(__linux__)
#include "hid/linux/LinuxHidPlatform.h"
#endif

#include <QEvent>
#include <QIcon>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr double GoalSeconds = 0.300;

// Seconds since boot now, and at the process's start (field 22 of
// /proc/self/stat, in clock ticks: 10 ms steps).
double BootSeconds() {
    timespec t{};
    clock_gettime(CLOCK_BOOTTIME, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

double ProcessStartBootSeconds() {
    std::ifstream file("/proc/self/stat");
    std::string stat;  // one line
    std::getline(file, stat);
    // The name (field 2) may hold blanks: count from after its ')'.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 22; ++i) rest >> field;
    unsigned long long ticks = 0;
    rest >> ticks;
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class TFirstPaint final : public QObject {
public:
    double At = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && At == 0) {
            At = BootSeconds();
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    using namespace lumidra;
    const auto mainEntered = std::chrono::steady_clock::now();
    const double started = ProcessStartBootSeconds();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    app::TApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Lumidra"));
    app::InitialiseRunState();
    application.setWindowIcon(QIcon(QStringLiteral(":/lumidra/lumidra.xpm")));
    hid::LinuxHidPlatform platform;
    app::QtGuiThread gui;
    app::TForm1 Form1(platform, gui);
    graphics::TForm2 Form2;
    TFirstPaint firstPaint;
    Form1.installEventFilter(&firstPaint);
    Form1.show();
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });  // no paint at all
    const int code = application.exec();
    if (code != 0 || firstPaint.At == 0) {
        std::fprintf(stderr, "startup-cost: the window never painted\n");
        return 2;
    }
    const double fromStart = firstPaint.At - started;
    const double fromMain = std::chrono::duration<double>(std::chrono::steady_clock::now() - mainEntered).count();
    std::printf(
        "startup-cost: start to window shown %.0f ms (main() to window %.0f ms), goal %.0f ms, "
        "goal_ratio %.2f\n",
        1000 * fromStart, 1000 * fromMain, 1000 * GoalSeconds, fromStart / GoalSeconds);
    return 0;
}
