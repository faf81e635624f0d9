// Closing the window: the unsaved key base question, the board told that the
// host leaves, the board handed back.
#include "tests/app/MainWindowFixture.h"

#include "keybase/KeyBase.h"
#include "keybase/KeyBaseRecovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#if defined(_WIN32)
#include "app/session/SessionEnd.h"

#include <QGuiApplication>

#include <windows.h>
#else
#include "app/session/SignalClose.h"

#include <csignal>
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

// The end of a run with a job open on the board, as each program's rule has
// it: the closing report alone (the window), or the job ended as its own last
// step ends it and then the closing report (lumidra-cli).
struct TEndCase {
    const char* Name;
    bool EndJobAtClose;
    boardmodel::TJobState Left;  // the board's job when the host has left
    friend void PrintTo(const TEndCase& c, std::ostream* os) { *os << c.Name; }
};

class RunEnd : public MainWindowModelTest, public ::testing::WithParamInterface<TEndCase> {};

TEST_P(RunEnd, EndsTheJobInHandOrNotThenTellsTheBoard) {
    const TEndCase& c = GetParam();
    QTemporaryDir dir;
    StartWithModelIn(dir);
    Seams.DialogAnswers.push_back(dir.filePath(QStringLiteral("dump.bin")));
    Form->ReadDUMP1Click();
    while (protocol::DumpOffset < 2 * 64) ASSERT_TRUE(StepShown());
    ASSERT_EQ(Board->Model().JobState(), boardmodel::TJobState::Open);
    Board->ClearWritten();

    app::TSessionRules rules;
    rules.EndJobAtClose = c.EndJobAtClose;
    app::TBoardSession(*Form->HidDeviceController1, rules).Close();
    const TWire wire = Board->Written();
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.back()[4], protocol::CommandHostLeaves);
    EXPECT_EQ(wire.size() > 1, c.EndJobAtClose) << "the job's end goes before the closing report";
    EXPECT_EQ(Board->Model().JobState(), c.Left);
    EXPECT_TRUE(Board->Model().HostLeft());
    EXPECT_EQ(AttachedDevice, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rules, RunEnd,
                         ::testing::Values(TEndCase{"Window", false, boardmodel::TJobState::Open},
                                           TEndCase{"Cli", true, boardmodel::TJobState::Idle}),
                         [](const ::testing::TestParamInfo<TEndCase>& row) { return std::string(row.param.Name); });

// What a recovery folder keeps of two set-aside bases and what the next
// start's notice names: both (a real board's run), or the latest alone (the
// demo's invented keys); a file the operator removed since is named no more.
struct TRecoveryCase {
    const char* Name;
    bool LatestOnly;
    bool FirstRemoved;
    int Kept;  // the files left, the latest among them; the notice names these
    friend void PrintTo(const TRecoveryCase& c, std::ostream* os) { *os << c.Name; }
};

class RecoveryFolder : public ::testing::TestWithParam<TRecoveryCase> {};

TEST_P(RecoveryFolder, KeepsAndNamesWhatIsThere) {
    const TRecoveryCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime now(QDate(2026, 3, 5), QTime(9, 5, 7));
    const QString first = keybase::SaveKeyBaseRecovery(QStringLiteral("A"), dir.path(), now, c.LatestOnly);
    const QString latest = keybase::SaveKeyBaseRecovery(QStringLiteral("B"), dir.path(), now, c.LatestOnly);
    ASSERT_FALSE(latest.isEmpty());
    if (c.FirstRemoved) QFile::remove(first);

    const QStringList kept = QDir(dir.path()).entryList({QStringLiteral("keybase-unsaved-*.txt")});
    EXPECT_EQ(kept.size(), c.Kept);
    EXPECT_TRUE(kept.contains(QFileInfo(latest).fileName()));
    const QString notice = keybase::TakeRecoveryNotice(dir.path());
    EXPECT_TRUE(notice.endsWith(QLatin1Char('\n') + latest)) << notice.toStdString();
    EXPECT_EQ(notice.contains(first), c.Kept == 2) << notice.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Rules, RecoveryFolder,
                         ::testing::Values(TRecoveryCase{"Every", false, false, 2},
                                           TRecoveryCase{"LatestOnly", true, false, 1},
                                           TRecoveryCase{"RemovedSince", false, true, 1}),
                         [](const ::testing::TestParamInfo<TRecoveryCase>& row) {
                             return std::string(row.param.Name);
                         });

}  // namespace
}  // namespace lumidra::testing
