// lumidra-cli: the board's jobs from a command line.
#include "app/BoardSource.h"
#include "app/Language.h"
#include "app/QtGuiThread.h"
#include "app/Startup.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/ConsoleSeams.h"
#include "app/cli/Convert.h"
#include "protocol/Trace.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <atomic>
#else
#include "app/SignalClose.h"
#endif

#if defined(_WIN32)
namespace {

// Ctrl+C, Ctrl+Break and the console's close run on a thread of the system's:
// the run ends on the GUI thread, as a signal's end does on Linux.
std::atomic<lumidra::cli::TCliRun*> interrupted{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    lumidra::cli::TCliRun* run = interrupted.load();
    if (run == nullptr) return FALSE;
    const int code = type == CTRL_C_EVENT ? lumidra::cli::ExitInterrupted : lumidra::cli::ExitTerminated;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [run, code] { run->Interrupt(code); }, Qt::QueuedConnection);
    return TRUE;
}

}  // namespace
#endif

int main(int argc, char* argv[]) {
    using namespace lumidra;

    const cli::TCliParse parse = cli::ParseCliArguments(std::vector<std::string>(argv + 1, argv + argc));
    std::fputs(parse.Out.c_str(), stdout);
    std::fputs(parse.Err.c_str(), stderr);
    if (parse.Exit) return parse.ExitCode;
    const cli::TCliOptions& options = parse.Options;

    QCoreApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("lumidra-cli"));
    const app::TTranslations translations(app::RunLanguage(options.Lang));
    cli::TConsoleSeams seams;
    desktop::SetDefaultSeams(&seams);
    app::InitialiseRunState();

    if (options.Command.starts_with("convert")) return cli::RunConvert(options, seams);

    app::TBoardSource boards(options.Demo);

    // The window's lock: two programs never interleave reports on one board.
    app::TSingleInstanceLock lock;
    if (options.NeedsBoard() && !options.Demo) {
        switch (app::TakeSingleInstanceLock(lock)) {
            case app::TLockResult::Acquired: break;
            case app::TLockResult::AlreadyRunning: return cli::ExitInUse;
            case app::TLockResult::CannotCreate: return cli::ExitFailed;
        }
    }

    // Opened once the lock is held: a refused run leaves the running
    // program's trace alone.
    std::list<protocol::TTraceFile> traces;
    for (const std::string& name : options.Traces) {
        if (!traces.emplace_back().Open(name, "lumidra-cli")) {
            cli::TConsoleSeams::Tell(QCoreApplication::translate("cli", "--trace: cannot write '%1'")
                                         .arg(QString::fromLocal8Bit(name.c_str())));
            return cli::ExitFailed;
        }
    }

    app::QtGuiThread gui;
    cli::TCliRun run(options, boards.Platform(), gui, seams);
    if (const int code = run.Prepare(); code != cli::ExitDone) return code;
#if defined(_WIN32)
    interrupted = &run;
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
#else
    app::TSignalClose signalClose(
        [&run](int signal) { run.Interrupt(signal == SIGINT ? cli::ExitInterrupted : cli::ExitTerminated); });
#endif
    if (app::TDemoBoard* demo = boards.Demo()) demo->Start();
    const int code = run.Exec();
#if defined(_WIN32)
    interrupted = nullptr;
#endif
    return code;
}
