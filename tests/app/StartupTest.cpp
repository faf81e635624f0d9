#include "app/AppState.h"
#include "app/Startup.h"
#include "protocol/ProtocolState.h"
#include "tests/desktop/ScriptedSeams.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lumidra::app {
namespace {

using desktop::TMsgButtons;
using desktop::TMsgIcon;

const QString AlreadyRunningText =
    QStringLiteral("Программа, использующая ресурсы TAVIK Lumidra, уже запущена!   ");

class SingleInstance : public ::testing::Test {
protected:
    QTemporaryDir folder;
    testing::ScriptedSeams seams;
};

TEST_F(SingleInstance, FirstStartTakesTheLockQuietly) {
    TSingleInstanceLock lock(folder.path());
    EXPECT_TRUE(TakeSingleInstanceLock(lock));
    EXPECT_TRUE(seams.Boxes.empty());
    EXPECT_EQ(lock.FileName(), folder.filePath(QStringLiteral("TAVIK_Lumidra_C04E_2014_.lock")));
    EXPECT_TRUE(QFile::exists(lock.FileName()));
}

TEST_F(SingleInstance, SecondStartIsWarnedAndRefused) {
    TSingleInstanceLock first(folder.path());
    ASSERT_EQ(first.Acquire(), TLockResult::Acquired);

    TSingleInstanceLock second(folder.path());
    seams.BoxAnswers = {desktop::TMsgResult::Ok};
    EXPECT_FALSE(TakeSingleInstanceLock(second));
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
    TSingleInstanceLock first(folder.path());
    ASSERT_EQ(first.Acquire(), TLockResult::Acquired);
    QFile file(first.FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    file.close();

    TSingleInstanceLock second(folder.path());
    EXPECT_EQ(second.Acquire(), TLockResult::AlreadyRunning);
}

// A holder that crashed leaves its file behind; the next start takes over.
TEST_F(SingleInstance, CrashedHolderDoesNotKeepTheNextStartOut) {
    QFile file(folder.filePath(QStringLiteral("TAVIK_Lumidra_C04E_2014_.lock")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // QLockFile's record: process id, application name, host name. Process
    // ids never reach 2^22 on Linux, so this holder is not running.
    file.write(QByteArray::number(4194303) + "\nlumidra\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    file.close();

    TSingleInstanceLock lock(folder.path());
    EXPECT_EQ(lock.Acquire(), TLockResult::Acquired);
}

TEST_F(SingleInstance, NoLockAtAllIsAnError) {
    TSingleInstanceLock lock(folder.filePath(QStringLiteral("no/such/folder")));
    seams.BoxAnswers = {desktop::TMsgResult::Ok};
    EXPECT_FALSE(TakeSingleInstanceLock(lock));
    ASSERT_EQ(seams.Boxes.size(), 1u);
    EXPECT_EQ(seams.Boxes[0].Text, QStringLiteral("Невозможно запустить программу!  "));
    EXPECT_EQ(seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
    EXPECT_EQ(seams.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_EQ(seams.Boxes[0].Buttons, TMsgButtons::Ok);
}

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
    protocol::ResetProtocolState();
}

}  // namespace
}  // namespace lumidra::app
