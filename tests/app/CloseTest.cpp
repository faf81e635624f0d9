// Closing the window: the unsaved key base question, the board told that the
// host leaves, the board handed back; what is set aside for the next start;
// a trace that stops on the way.
#include "tests/app/MainWindowFixture.h"

#include "keybase/KeyBase.h"
#include "keybase/KeyBaseRecovery.h"
#include "protocol/Trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <list>
#include <tuple>

#if defined(_WIN32)
#include "app/session/SessionEnd.h"

#include <QGuiApplication>

#include <windows.h>
#else
#include "app/session/SignalClose.h"

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumidra::testing {
namespace {

using desktop::TMsgButtons;
using desktop::TMsgIcon;
using desktop::TMsgResult;
using protocol::AttachedDevice;

const QString UnsavedText = QStringLiteral("Изменения в базе ключей будут потеряны! Всё равно выйти?  ");

class CloseWindow : public MainWindowTest {
protected:
    // Attached, indicator 1 on, and an edited key base.
    int StartAttachedWithUnsavedKeys() {
        const int board = Bus.Plug({});
        Start();
        Form->SetRecoveryFolder(TestRecoveryFolder());
        EXPECT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
        Form->CheckBox1->setChecked(true);
        QTest::keyClicks(Form->MemoKey, QStringLiteral("0123456789ABCDEF"));
        EXPECT_FALSE(protocol::KeyBaseSaved);
        EXPECT_EQ(Bus.Written(board).size(), 3u);
        return board;
    }

    // The test process's own recovery folder: ctest runs test processes side
    // by side, and one would remove the files another counts.
    static QString TestRecoveryFolder() {
        QStandardPaths::setTestModeEnabled(true);
        return keybase::RecoveryFolder(false) + QStringLiteral("/test-%1").arg(QCoreApplication::applicationPid());
    }
    // A fresh recovery folder of the test's own.
    static QString EmptyRecoveryFolder() {
        const QString folder = TestRecoveryFolder();
        QDir(folder).removeRecursively();
        return folder;
    }
    static QStringList RecoveryFiles(const QString& folder) {
        return QDir(folder).entryList({QStringLiteral("keybase-unsaved-*.txt")});
    }

    void ExpectAskedOnce() const {
        ASSERT_EQ(Seams.Boxes.size(), 1u);
        EXPECT_EQ(Seams.Boxes[0].Text, UnsavedText);
        EXPECT_EQ(Seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
        EXPECT_EQ(Seams.Boxes[0].Icon, TMsgIcon::Warning);
        EXPECT_EQ(Seams.Boxes[0].Buttons, TMsgButtons::OkCancel);
    }
};

TEST_F(CloseWindow, CancelKeepsTheWindowAndSendsNothing) {
    const int board = StartAttachedWithUnsavedKeys();
    Seams.BoxAnswers = {TMsgResult::Cancel};
    EXPECT_FALSE(Form->close());
    ExpectAskedOnce();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Bus.Written(board).size(), 3u);
    EXPECT_TRUE(Seams.Pauses.empty());
    EXPECT_NE(AttachedDevice, nullptr);
    EXPECT_FALSE(protocol::KeyBaseSaved) << "a refused close changes nothing";

    // The program goes on: the board still gets what the window sends.
    Form->CheckBox2->setChecked(true);
    EXPECT_EQ(Bus.Written(board).back(), Report({0, 0, 0x84, 1}));
}

TEST_F(CloseWindow, OkTellsTheBoardTheHostLeavesThenPausesAndHandsItBack) {
    const int board = StartAttachedWithUnsavedKeys();
    Seams.BoxAnswers = {TMsgResult::Ok};
    std::size_t sentBeforePause = 0;
    Seams.OnPause = [&] { sentBeforePause = Bus.Written(board).size(); };

    EXPECT_TRUE(Form->close());
    ExpectAskedOnce();
    const TWire wire = Bus.Written(board);
    ASSERT_EQ(wire.size(), 4u);
    EXPECT_EQ(wire[3], Report({0, 0, 0x04, 2})) << "command 2 with the standing state";
    EXPECT_EQ(Seams.Pauses, (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(50)}));
    EXPECT_EQ(sentBeforePause, 4u) << "the pause follows the report";
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(Bus.OpenHandles(board), 0u);
    EXPECT_FALSE(Form->isVisible());

    // Closed for good: a device change that arrives before the loop ends
    // does not take the board again.
    hid::TVirtualBoard other;
    other.VendorID = 0x1234;
    PlugAndScan(other);
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(Bus.Written(board).size(), 4u);
}

TEST_F(CloseWindow, SavedKeyBaseClosesWithoutAsking) {
    const int board = Bus.Plug({});
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Seams.Boxes.empty());
    const TWire wire = Bus.Written(board);
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(wire[2], Report({0, 0, 0, 2}));
    EXPECT_EQ(Seams.Pauses.size(), 1u);
}

TEST_F(CloseWindow, DetachedSendsNothingAndDoesNotPause) {
    StartAndScan();
    QTest::keyClicks(Form->MemoKey, QStringLiteral("x"));
    Seams.BoxAnswers = {TMsgResult::Ok};
    EXPECT_TRUE(Form->close());
    ExpectAskedOnce();
    EXPECT_TRUE(Seams.Pauses.empty());
    EXPECT_EQ(Bus.CallCount("WriteFile"), 0u);
}

TEST_F(CloseWindow, AfterUnplugNothingIsSent) {
    const int board = Bus.Plug({});
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    UnplugAndScan(board);
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Seams.Pauses.empty());
    EXPECT_EQ(Bus.Written(board).size(), 2u);
}

TEST_F(CloseWindow, ExitButtonTakesTheSameRoad) {
    const int board = Bus.Plug({});
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    Form->Button6->click();  // hidden, but wired
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Bus.Written(board).back(), Report({0, 0, 0, 2}));
    EXPECT_EQ(AttachedDevice, nullptr);
}

// Destroying the window without closing it first still hands the board back
// before the controller goes.
TEST_F(CloseWindow, DestroyingTheWindowHandsTheBoardBack) {
    const int board = Bus.Plug({});
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    Form.reset();
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(Bus.OpenHandles(board), 0u);
}

// The system ends the program (SIGTERM, here a real one to this process):
// nothing is asked, the unsaved key base goes to a recovery file that the next
// start names, and the board is told the host leaves as on every close.
TEST_F(CloseWindow, SignalClosesWithoutAskingAndKeepsTheUnsavedKeyBase) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no SIGTERM, SIGINT or SIGHUP: the system ends a window program "
                    "with messages to its windows, not with signals";
#else
    const QString folder = EmptyRecoveryFolder();
    const int board = StartAttachedWithUnsavedKeys();
    Form->MemoKey->appendPlainText(QStringLiteral("ключ"));
    const QString memo = keybase::MemoText(*Form->MemoKey);
    {
        app::TSignalClose closer([this](int) { Form->CloseUnattended(); });
        ::kill(::getpid(), SIGTERM);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Form->isVisible(); }, 5000));
    }
    EXPECT_TRUE(Seams.Boxes.empty()) << "nobody is asked";
    ASSERT_EQ(Bus.Written(board).size(), 4u);
    EXPECT_EQ(Bus.Written(board)[3], Report({0, 0, 0x04, 2}));
    EXPECT_EQ(Seams.Pauses.size(), 1u);
    EXPECT_EQ(AttachedDevice, nullptr);

    const QStringList files = RecoveryFiles(folder);
    ASSERT_EQ(files.size(), 1);
    const auto bytes = keybase::ReadWholeFile(QDir(folder).filePath(files[0]));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->toStdString(), keybase::EncodeKeyBaseFile(memo.toStdU16String()).Bytes);
    const QString notice = keybase::TakeRecoveryNotice(folder);
    EXPECT_TRUE(notice.endsWith(QDir(folder).filePath(files[0]))) << notice.toStdString();
    EXPECT_TRUE(keybase::TakeRecoveryNotice(folder).isEmpty()) << "told once";
    QDir(folder).removeRecursively();
#endif
}

// The system ends the run while the close's own question is open (a log-out
// after the operator chose to close): the box is ended, and the close goes on
// as an unattended one, the key base set aside and the board told.
TEST_F(CloseWindow, SignalWhileTheQuestionIsOpenEndsItAndClosesUnattended) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows ends a window program with messages, not signals";
#else
    const QString folder = EmptyRecoveryFolder();
    const int board = StartAttachedWithUnsavedKeys();
    app::TSignalClose closer([this](int) { Form->CloseUnattended(); });
    Seams.BoxAnswers = {TMsgResult::Cancel};  // what an ended box answers
    bool ended = false;
    Seams.OnBox = [&](const QString&) {
        QMessageBox box;
        QTimer::singleShot(0, [] { ::kill(::getpid(), SIGTERM); });
        QTimer::singleShot(5000, &box, &QMessageBox::accept);  // left open: the test fails below
        ended = box.exec() == QDialog::Rejected;
    };
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(ended) << "the open box is ended";
    ExpectAskedOnce();
    ASSERT_EQ(Bus.Written(board).size(), 4u);
    EXPECT_EQ(Bus.Written(board)[3], Report({0, 0, 0x04, 2}));
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(RecoveryFiles(folder).size(), 1);
    QDir(folder).removeRecursively();
#endif
}

// An end of the session that was called off leaves the key base aside; once
// the operator saves it, neither the file nor the next start's notice stays.
TEST_F(CloseWindow, SavingTheBaseWithdrawsWhatWasSetAside) {
    const QString folder = EmptyRecoveryFolder();
    StartAttachedWithUnsavedKeys();
    Form->SaveKeyBaseAside();  // the session asked, then the end was called off
    ASSERT_EQ(RecoveryFiles(folder).size(), 1);

    const QString saved = QDir(folder).filePath(QStringLiteral("saved.txt"));
    Seams.DialogAnswers.push_back(saved);
    Form->SaveBaseClick();
    ASSERT_TRUE(protocol::KeyBaseSaved);
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(RecoveryFiles(folder).isEmpty());
    EXPECT_TRUE(keybase::TakeRecoveryNotice(folder).isEmpty());
    QDir(folder).removeRecursively();
}

// Windows ends a session with messages to the windows: asked, the program
// sets the unsaved key base aside at once and says yes; an end called off
// changes nothing else (asked again, nothing is written twice); the real end
// tells the board the host leaves and hands it back inside the message.
TEST_F(CloseWindow, SessionEndAsksNobodyAndKeepsTheUnsavedKeyBase) {
#if !defined(_WIN32)
    GTEST_SKIP() << "the end of a Windows session; Linux ends the program with signals";
#else
    if (QGuiApplication::platformName() != QStringLiteral("windows")) {
        GTEST_SKIP() << "needs Qt's windows platform (run-tests.sh runs it on a display)";
    }
    const QString folder = EmptyRecoveryFolder();
    const int board = StartAttachedWithUnsavedKeys();
    const QString memo = keybase::MemoText(*Form->MemoKey);
    app::TSessionEnd sessionEnd([this] { Form->SaveKeyBaseAside(); }, [this] { Form->CloseUnattended(); });
    const auto window = reinterpret_cast<HWND>(Form->winId());
    const auto recoveryFiles = [&] { return RecoveryFiles(folder); };

    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(recoveryFiles().size(), 1);
    EXPECT_EQ(SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF), 0);
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Bus.Written(board).size(), 3u) << "an end called off sends nothing";
    EXPECT_NE(AttachedDevice, nullptr);

    EXPECT_EQ(SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF), 0);
    EXPECT_TRUE(Seams.Boxes.empty()) << "nobody is asked";
    ASSERT_EQ(Bus.Written(board).size(), 4u);
    EXPECT_EQ(Bus.Written(board)[3], Report({0, 0, 0x04, 2}));
    EXPECT_EQ(Seams.Pauses.size(), 1u);
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_FALSE(Form->isVisible());

    const QStringList files = recoveryFiles();
    ASSERT_EQ(files.size(), 1) << "one file for one text";
    const auto bytes = keybase::ReadWholeFile(QDir(folder).filePath(files[0]));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->toStdString(), keybase::EncodeKeyBaseFile(memo.toStdU16String()).Bytes);
    EXPECT_FALSE(keybase::TakeRecoveryNotice(folder).isEmpty());
    QDir(folder).removeRecursively();
#endif
}

// A trace that can no longer be written (its reader went away, its disk is
// full) stops alone: the window tells which and why once, without a box, and
// goes on with the board and its other traces to the closing report.
TEST_F(MainWindowModelTest, TraceWhoseReaderLeftOrDiskIsFullStopsAndIsToldOnce) {
#if defined(_WIN32)
    GTEST_SKIP() << "a FIFO and /dev/full";
#else
    const QTemporaryDir dir;
    const std::string kept = dir.filePath(QStringLiteral("kept.trace")).toStdString();
    const std::string live = dir.filePath(QStringLiteral("live.pcapng")).toStdString();
    ASSERT_EQ(::mkfifo(live.c_str(), 0600), 0);
    const int reader = ::open(live.c_str(), O_RDONLY | O_NONBLOCK);
    Board.emplace(Bus, hid::TVirtualBoard{});
    Start();
    std::list<protocol::TTraceFile> traces;
    for (const std::string& name : {kept, live, std::string("/dev/full")}) {
        ASSERT_TRUE(Form->OpenTrace(traces.emplace_back(), name));
    }
    ::close(reader);  // the capture tool closed: a write now raises SIGPIPE
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));

    Board->Model().SetChannel(1, 1023);
    ASSERT_TRUE(StepShown());
    EXPECT_EQ(Form->Bar1->value(), 1023) << "the window goes on";
    ASSERT_TRUE(StepShown());
    ASSERT_EQ(Seams.Notices.size(), 2u) << "once for each trace";
    EXPECT_EQ(Seams.Notices[0],
              QStringLiteral("Трассировка в '%1' остановлена: её читатель закрылся. Остальное работает как прежде.")
                  .arg(QString::fromStdString(live)));
    EXPECT_TRUE(Seams.Notices[1].startsWith(QStringLiteral("Трассировка в '/dev/full' остановлена: ")));
    EXPECT_TRUE(Seams.Boxes.empty()) << "nothing waits for an answer";

    // The closing report goes to the board, and is the last line of the trace still kept.
    EXPECT_TRUE(Form->close());
    const std::vector<std::uint8_t> closing = Board->Written().back();
    EXPECT_EQ(closing[4], protocol::CommandHostLeaves);
    QFile trace(QString::fromStdString(kept));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QByteArray text = trace.readAll();
    const std::string line = protocol::TraceLine(0, true, std::span(closing).subspan(1));
    EXPECT_TRUE(text.endsWith(QByteArray::fromStdString(line.substr(line.find(' '))))) << text.right(300).data();
#endif
}

// What a recovery folder keeps of two set-aside bases and what the next
// start names: both (a real board's run), or the latest alone (the demo's
// invented keys); a file removed meanwhile is named no more.
class RecoveryFolder : public ::testing::TestWithParam<std::tuple<bool, bool>> {};  // latest only, first removed

TEST_P(RecoveryFolder, KeepsAndNamesWhatIsThere) {
    const auto [latestOnly, firstRemoved] = GetParam();
    const QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTime();
    const QString first = keybase::SaveKeyBaseRecovery(QStringLiteral("A"), dir.path(), now, latestOnly);
    const QString latest = keybase::SaveKeyBaseRecovery(QStringLiteral("B"), dir.path(), now, latestOnly);
    if (firstRemoved) QFile::remove(first);
    const bool both = !latestOnly && !firstRemoved;
    EXPECT_EQ(QFile::exists(first), both);
    EXPECT_TRUE(QFile::exists(latest));
    const QString notice = keybase::TakeRecoveryNotice(dir.path());
    EXPECT_TRUE(notice.endsWith(QLatin1Char('\n') + latest)) << notice.toStdString();
    EXPECT_EQ(notice.contains(first), both) << notice.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Rules, RecoveryFolder,
                         ::testing::Values(std::tuple{false, false}, std::tuple{true, false}, std::tuple{false, true}));

}  // namespace
}  // namespace lumidra::testing
