#include "app/session/AppState.h"
#include "app/session/Startup.h"
#include "protocol/ProtocolState.h"
#include "tests/support/ScriptedSeams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumidra::app {
namespace {

using desktop::TMsgButtons;
using desktop::TMsgIcon;

const QString AlreadyRunningText = QStringLiteral("Программа, использующая ресурсы TAVIK Lumidra, уже запущена!   ");

class SingleInstance : public ::testing::Test {
protected:
    QTemporaryDir folder;
    testing::ScriptedSeams seams;
};

TEST_F(SingleInstance, FirstStartTakesTheLockQuietly) {
    TSingleInstanceLock lock(folder.path());
    EXPECT_EQ(TakeSingleInstanceLock(lock), TLockResult::Acquired);
    EXPECT_TRUE(seams.Boxes.empty());
#if defined(_WIN32)
    // The program's own lock (no folder) is the named mutex; a test's has a
    // name of its own after it.
    EXPECT_EQ(TSingleInstanceLock().Name(), QStringLiteral("Global\\TAVIK_Lumidra_C04E_2014_"));
    EXPECT_TRUE(lock.Name().startsWith(QStringLiteral("Global\\TAVIK_Lumidra_C04E_2014_")));
#else
    EXPECT_EQ(lock.Name(), folder.filePath(QStringLiteral("TAVIK_Lumidra_C04E_2014_.lock")));
    EXPECT_TRUE(QFile::exists(lock.Name()));
    // Readable and writable by every user, so another user's start locks the same file.
    EXPECT_EQ(QFile::permissions(lock.Name()) & QFileDevice::WriteOther, QFileDevice::WriteOther);
#endif
}

TEST_F(SingleInstance, SecondStartIsWarnedAndRefused) {
    TSingleInstanceLock first(folder.path());
    ASSERT_EQ(first.Acquire(), TLockResult::Acquired);

    TSingleInstanceLock second(folder.path());
    seams.BoxAnswers = {desktop::TMsgResult::Ok};
    EXPECT_EQ(TakeSingleInstanceLock(second), TLockResult::AlreadyRunning);
    ASSERT_EQ(seams.Boxes.size(), 1u);
    EXPECT_EQ(seams.Boxes[0].Text, AlreadyRunningText);
    EXPECT_EQ(seams.Boxes[0].Text.toUtf8().right(3), QByteArray("   ")) << "three trailing blanks";
    EXPECT_EQ(seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
    EXPECT_EQ(seams.Boxes[0].Icon, TMsgIcon::Warning);
    EXPECT_EQ(seams.Boxes[0].Buttons, TMsgButtons::Ok);

    // Once the first instance has ended, the next start goes through.
    first.Release();
    EXPECT_EQ(second.Acquire(), TLockResult::Acquired);
}

// A lock file does not go stale with age while its holder still runs.
TEST_F(SingleInstance, LongRunningHolderKeepsTheLock) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows: the lock is a named mutex, there is no file whose age could count";
#endif
    TSingleInstanceLock first(folder.path());
    ASSERT_EQ(first.Acquire(), TLockResult::Acquired);
    QFile file(first.Name());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    file.close();

    TSingleInstanceLock second(folder.path());
    EXPECT_EQ(second.Acquire(), TLockResult::AlreadyRunning);
}

// Another process holding the lock: started from the test's helper program,
// optionally as another user (root only), and killed like a crashed instance.
class LockHolder {
public:
    explicit LockHolder(const QString& folder, [[maybe_unused]] std::optional<int> user = std::nullopt) {
#if !defined(_WIN32)
        if (user) {
            const uid_t uid = static_cast<uid_t>(*user);
            process_.setChildProcessModifier([uid] {
                if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(4);
            });
        }
        const QString program = QStringLiteral(LUMIDRA_LOCK_HOLDER);
#else
        // Beside the tests: the build's own path is a Unix one.
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/lock_holder.exe");
#endif
#if defined(LUMIDRA_EMULATOR)
        process_.start(QStringLiteral(LUMIDRA_EMULATOR), {program, folder});
#else
        process_.start(program, {folder});
#endif
        held_ = process_.waitForReadyRead(5000) && process_.readAll().startsWith("held");
    }
    ~LockHolder() {
        Kill();
    }
    bool Held() const {
        return held_;
    }
    void Kill() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();  // SIGKILL, or TerminateProcess: no chance to clean up
        process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    bool held_ = false;
};

// A start after an instance was killed goes through: the kernel dropped the
// lock with its holder, and the file it left behind blocks nothing.
TEST_F(SingleInstance, KilledHolderDoesNotKeepTheNextStartOut) {
    LockHolder holder(folder.path());
    ASSERT_TRUE(holder.Held());
    TSingleInstanceLock second(folder.path());
    EXPECT_EQ(second.Acquire(), TLockResult::AlreadyRunning);
    holder.Kill();
    EXPECT_EQ(second.Acquire(), TLockResult::Acquired);
}

// Another user's running instance refuses this start; its file, once it has
// gone, is taken over.
TEST_F(SingleInstance, AnotherUsersInstanceRefusesAndItsFileIsReused) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows: starting a holder as another user needs a second account and its "
                    "password; Wine runs every process as the one user";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a holder as another user";
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                         QFileDevice::WriteOther | QFileDevice::ExeOther));
    constexpr int Nobody = 65534;
    LockHolder holder(folder.path(), Nobody);
    ASSERT_TRUE(holder.Held());
    TSingleInstanceLock lock(folder.path());
    EXPECT_EQ(lock.Acquire(), TLockResult::AlreadyRunning);
    holder.Kill();
    EXPECT_EQ(lock.Acquire(), TLockResult::Acquired);
#endif
}

// What stands at the lock's name decides: nothing that is not a plain file is
// used, nothing is waited for, and a link is never followed.
struct TNoLockCase {
    const char* Name;
    std::function<QString(const QString& folder)> Plant;  // gives the lock's folder
};
void PrintTo(const TNoLockCase& c, std::ostream* os) {
    *os << c.Name;
}

class NoLock : public SingleInstance, public ::testing::WithParamInterface<TNoLockCase> {};

TEST_P(NoLock, IsAnErrorAtStart) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows: the lock is a named mutex; nothing a test can plant makes it impossible";
#else
    TSingleInstanceLock lock(GetParam().Plant(folder.path()));
    seams.BoxAnswers = {desktop::TMsgResult::Ok};
    EXPECT_NE(TakeSingleInstanceLock(lock), TLockResult::Acquired);
#endif
    ASSERT_EQ(seams.Boxes.size(), 1u);
    EXPECT_EQ(seams.Boxes[0].Text, QStringLiteral("Невозможно запустить программу!  "));
    EXPECT_EQ(seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
    EXPECT_EQ(seams.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_EQ(seams.Boxes[0].Buttons, TMsgButtons::Ok);
}

#if !defined(_WIN32)
QString LockIn(const QString& folder) {
    return folder + QStringLiteral("/TAVIK_Lumidra_C04E_2014_.lock");
}
INSTANTIATE_TEST_SUITE_P(
    Planted, NoLock,
    ::testing::Values(TNoLockCase{"NoFolder", [](const QString& f) { return f + QStringLiteral("/no/such/folder"); }},
                      TNoLockCase{"LinkToSomeoneElsesFile",
                                  [](const QString& f) {
                                      QFile theirs(f + QStringLiteral("/someone-elses"));
                                      EXPECT_TRUE(theirs.open(QIODevice::WriteOnly));
                                      EXPECT_EQ(::symlink(QFile::encodeName(theirs.fileName()).constData(),
                                                          QFile::encodeName(LockIn(f)).constData()),
                                                0);
                                      return f;
                                  }},
                      TNoLockCase{"Fifo",
                                  [](const QString& f) {
                                      EXPECT_EQ(::mkfifo(QFile::encodeName(LockIn(f)).constData(), 0666), 0);
                                      return f;
                                  }},
                      TNoLockCase{"Folder",
                                  [](const QString& f) {
                                      EXPECT_TRUE(QDir(f).mkdir(LockIn(f)));
                                      return f;
                                  }}),
    [](const auto& test) { return std::string(test.param.Name); });
#else
INSTANTIATE_TEST_SUITE_P(Planted, NoLock, ::testing::Values(TNoLockCase{"NoFolder", {}}),
                         [](const auto& test) { return std::string(test.param.Name); });
#endif

// The start folder is kept whole: a path cut at 200 characters would name
// another folder on Linux, where paths that long are ordinary.
TEST(InitialiseRunState, StartFolderIsTheWholeCurrentFolder) {
    QTemporaryDir root;
    QString deep = root.path();
    while (deep.size() <= 260) deep += QStringLiteral("/a-rather-long-folder-name");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(deep));

    protocol::KeyBaseSaved = false;
    BoardAttached = true;
    InitialiseRunState();
    const QString startFolder = protocol::StartFolder;
    QDir::setCurrent(previous);

    EXPECT_EQ(startFolder, QDir(deep).canonicalPath());
    EXPECT_GT(startFolder.size(), 260);
    EXPECT_TRUE(protocol::KeyBaseSaved);
    EXPECT_FALSE(BoardAttached);
    EXPECT_EQ(protocol::AttachedDevice, nullptr);
    ResetRunState();
}

}  // namespace
}  // namespace lumidra::app
