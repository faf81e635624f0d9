// lumidra-cli: the board's jobs from a command line.
#include "app/session/BoardSource.h"
#include "app/session/Language.h"
#include "app/session/QtGuiThread.h"
#include "app/session/Startup.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/CommandTable.h"
#include "app/cli/ConsoleSeams.h"

#include "desktop/OutputFile.h"
#include "protocol/Trace.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <atomic>
#else
#include "app/session/SignalClose.h"
#endif

#if defined(_WIN32)
namespace {

// Ctrl+C, Ctrl+Break and the console's close run on a thread of the system's:
// the run ends on the GUI thread, as a signal's end does on Linux.
std::atomic<lumidra::cli::TCliRun*> interrupted{nullptr};
std::atomic<bool> runEnded{false};  // the job's end and the closing report are sent

// How long the system gives a console's close, log-off or shutdown handler.
constexpr int CloseWaitMs = 3000;

BOOL WINAPI OnConsoleControl(DWORD type) {
    lumidra::cli::TCliRun* run = interrupted.load();
    if (run == nullptr) return FALSE;
    const int code = type == CTRL_C_EVENT       ? lumidra::cli::ExitInterrupted
                     : type == CTRL_CLOSE_EVENT ? lumidra::cli::ExitHangUp
                                                : lumidra::cli::ExitTerminated;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [run, code] { run->Interrupt(code); }, Qt::QueuedConnection);
    // On a close, log-off or shutdown the system ends the process once this
    // returns: the board is told first.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        for (int waited = 0; waited < CloseWaitMs && !runEnded; waited += 10) ::Sleep(10);
    }
    return TRUE;
}

}  // namespace
#endif

namespace {

// Opens the run's traces into `traces`, once the board is found; a write that
// fails fails the run as any other.
std::function<bool()> TraceOpener(std::list<lumidra::protocol::TTraceFile>& traces, lumidra::cli::TCliRun& run,
                                  const lumidra::cli::TCliOptions& options) {
    using namespace lumidra;
    return [&traces, &run, &options] {
        for (const std::string& fileName : options.Traces) {
            const QString name = cli::ArgumentText(fileName);
            const auto failed = [&run, name](const protocol::TTraceFailure& failure) {
                run.WriteFailed(name, failure.ReaderGone(), qt_error_string(failure.Error));
            };
            if (!traces.emplace_back().Open(fileName, "lumidra-cli", failed)) {
                // An open cut by a signal: the signal's end follows.
                if (desktop::WritesCut()) return false;
                cli::TConsoleSeams::Tell(
                    QCoreApplication::translate("cli", "--trace: не удаётся записать «%1»").arg(name));
                return false;
            }
        }
        // A trace whose first bytes failed (told already): nothing goes to the board.
        return !run.Failing();
    };
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace lumidra;

    // A reader of standard output that goes away is a failed write here,
    // seen and answered (the job ended on the board), not the process's end.
    desktop::KeepRunningOnClosedPipe();
    const std::vector<std::string> arguments = cli::ProcessArguments(argc, argv);
    QCoreApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("lumidra-cli"));
    const app::TTranslations translations(app::RunLanguage(app::LanguageOption(arguments)));

    const cli::TCliParse parse = cli::ParseCliArguments(arguments);
    // Help and usage errors in the console's encoding, as every other message.
    cli::TConsoleSeams::Write(stderr, parse.Err);
    if (!cli::TConsoleSeams::Write(stdout, parse.Out)) return errno == EPIPE ? cli::ExitClosedPipe : cli::ExitFailed;
    if (parse.Exit) return parse.ExitCode;
    const cli::TCliOptions& options = parse.Options;
    cli::TConsoleSeams seams;
    desktop::SetDefaultSeams(&seams);
    app::InitialiseRunState();

    if (const std::optional<int> code = cli::RunAlone(options, seams)) return *code;

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

    app::QtGuiThread gui;
    cli::TCliRun run(options, boards.Platform(), gui, seams);
    if (const int code = run.Prepare(); code != cli::ExitDone) return code;
    // Opened once the board is found: a refused run, or one that finds no
    // board, leaves the trace files (perhaps the running program's) alone.
    std::list<protocol::TTraceFile> traces;
    if (!options.Traces.empty()) run.OpenTrace = TraceOpener(traces, run, options);
#if defined(_WIN32)
    interrupted = &run;
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
#else
    app::TSignalClose signalClose([&run](int signal) {
        run.Interrupt(signal == SIGINT   ? cli::ExitInterrupted
                      : signal == SIGHUP ? cli::ExitHangUp
                                         : cli::ExitTerminated);
    });
#endif
    if (app::TDemoBoard* demo = boards.Demo()) demo->Start();
    const int code = run.Exec();
#if defined(_WIN32)
    runEnded = true;
    interrupted = nullptr;
#endif
    return code;
}
