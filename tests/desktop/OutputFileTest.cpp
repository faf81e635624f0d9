// The one way output is written: what each kind of name gets, and when.
#include "desktop/OutputFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace lumidra::desktop {
namespace {

using TForm = TOutputFile::TForm;

QByteArray Content(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

// An existing file's content after each step: a whole product replaces it
// only at Commit, a stream empties it only at Open; Check touches nothing.
TEST(OutputFile, ARegularFileChangesOnlyWhenTheWorkStarts) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("out"));
    for (const TForm form : {TForm::Whole, TForm::Stream}) {
        QFile old(name);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        TOutputFile file;
        ASSERT_TRUE(file.Check(name, form));
        EXPECT_EQ(Content(name), "old");
        ASSERT_TRUE(file.Open(name, form) && file.Write("new", 3));
        EXPECT_EQ(Content(name), form == TForm::Whole ? "old" : "new");
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(Content(name), "new");
        EXPECT_EQ(file.Kept(), form == TForm::Whole ? "new" : "");
    }
}

TEST(OutputFile, RefusesAFolderAndKeepsInMemory) {
    QTemporaryDir dir;
    TOutputFile file;
    EXPECT_FALSE(file.Check(dir.path(), TForm::Stream));
    EXPECT_EQ(file.State(), TOutputState::Failed);
    ASSERT_TRUE(file.Open(KeptInMemory, TForm::Whole) && file.Write("block", 5) && file.Commit());
    EXPECT_EQ(file.Kept(), "block");
}

#if !defined(_WIN32)
// A FIFO no one reads is refused at once instead of waiting; a device is
// written into and stays a device.
TEST(OutputFile, NeverReplacesWhatIsNotARegularFile) {
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    TOutputFile file;
    EXPECT_FALSE(file.Check(QFile::decodeName(fifo), TForm::Whole));
    ASSERT_TRUE(file.Open(QStringLiteral("/dev/full"), TForm::Whole) && file.Write("x", 1));
    EXPECT_FALSE(file.Commit()) << "the device's own failure, not a file put in its place";
    EXPECT_EQ(file.State(), TOutputState::Failed);
    struct stat status {};
    ASSERT_EQ(::stat("/dev/full", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
}
#endif

}  // namespace
}  // namespace lumidra::desktop
