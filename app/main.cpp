// The program: one instance per machine, one main window, until it closes.
#include "app/AllPanels.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/session/Language.h"
#include "app/session/BoardSource.h"
#include "app/ParentConsole.h"
#include "app/session/QtGuiThread.h"
#include "app/session/Startup.h"
#include "app/Unit1.h"
#include "graphics/ChartWindow.h"
#include "graphics/Unit2.h"
#include "keybase/KeyBaseRecovery.h"
#include "protocol/Trace.h"
#include "desktop/QtSeams.h"
#include "desktop/Seams.h"
#include "desktop/Widgets.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include "app/session/SessionEnd.h"
#else
#include "app/session/SignalClose.h"
#endif

namespace {

// Where a message that ends the start is printed: on Windows the program's
// output reaches the console it was started from only once it asks for it.
lumidra::app::TConsoleStreams ConsoleStreams() {
#if defined(_WIN32)
    return lumidra::app::UseParentConsole();
#else
    return {stdout, stderr};
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace lumidra;

    // Before the window's toolkit starts: help and version need no display.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const app::TCommandLine commandLine = app::ParseCommandLine(arguments);
    if (commandLine.Exit) {
        // Told in the run's language: the translations need an application
        // object, not a display.
        const QCoreApplication console(argc, argv);
        const app::TTranslations translations(app::RunLanguage(app::LanguageOption(arguments)));
        const app::TCommandLine told = app::ParseCommandLine(arguments);
        const app::TConsoleStreams streams = ConsoleStreams();
        std::fputs(QString::fromStdString(told.Out).toLocal8Bit().constData(), streams.Out);
        std::fputs(QString::fromStdString(told.Err).toLocal8Bit().constData(), streams.Err);
        return told.ExitCode;
    }

    app::TApplication application(argc, argv);  // message boxes need it, even the lock's
    const app::TTranslations translations(app::RunLanguage(commandLine.Options.Lang));
    desktop::QtSeams toolkitSeams;
    desktop::SetDefaultSeams(&toolkitSeams);
    application.setApplicationName(QString::fromLatin1(desktop::AppTitle));

    app::TSingleInstanceLock lock;
    if (app::TakeSingleInstanceLock(lock) != app::TLockResult::Acquired) return app::ExitRefused;

    app::InitialiseRunState();
    application.setWindowIcon(QIcon(QStringLiteral(":/lumidra/lumidra.xpm")));
    // The desktop entry it is started from (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lumidra.lumidra"));

    app::TBoardSource boards(commandLine.Options.Demo);
    app::TDemoBoard* const demo = boards.Demo();
    // Outlives the windows: the device layer posts to it until its controller is gone.
    app::QtGuiThread gui;
    app::TForm1 Form1(boards.Platform(), gui);
    // Opened once the lock is held (a refused start leaves the running
    // program's trace alone) and before anything is sent; one that cannot be
    // opened ends the start.
    std::list<protocol::TTraceFile> traces;
    for (const std::string& name : commandLine.Options.Traces) {
        if (!Form1.OpenTrace(traces.emplace_back(), name)) {
            const QString message = QCoreApplication::translate("app", "не удаётся записать файл трассировки '%1'")
                                        .arg(QString::fromStdString(name));
            std::fprintf(ConsoleStreams().Err, "lumidra: %s\n", message.toLocal8Bit().constData());
            return app::ExitUsage;
        }
    }
    if (commandLine.Options.AllPanels) app::ShowAllPanels(Form1);
    if (demo) Form1.setWindowTitle(app::DemoTitle());
    // The demo's invented keys: only its last set-aside base is kept.
    const QString recoveryFolder = keybase::RecoveryFolder(commandLine.Options.Demo);
    Form1.SetRecoveryFolder(recoveryFolder, commandLine.Options.Demo);
    // An earlier run that the system ended left the unsaved key base aside;
    // taken before this run could set another aside.
    const QString recoveryNotice = keybase::TakeRecoveryNotice(recoveryFolder);
    graphics::TForm2 Form2;
    graphics::TChartWindow chart;
    // Log-out, shutdown, kill, Ctrl+C: a close that cannot ask, then the end.
    const auto closeUnattended = [&Form1] {
        Form1.CloseUnattended();
        QCoreApplication::exit(0);
    };
#if defined(_WIN32)
    app::TSessionEnd sessionEnd([&Form1] { Form1.SaveKeyBaseAside(); }, closeUnattended);
#else
    app::TSignalClose signalClose([&closeUnattended](int) { closeUnattended(); });
#endif
    Form1.show();
    // The chart beside the main window, which stays in front with the focus:
    // where what the user types (Alt+F4 too) goes.
    if (commandLine.Options.Chart) desktop::ShowBeside(chart, Form1);
    if (demo) demo->Start();
    // Told beside the window, which attaches, traces and ends as ever meanwhile.
    if (!recoveryNotice.isEmpty()) desktop::Seams().Notice(recoveryNotice);
    return application.exec();
}
