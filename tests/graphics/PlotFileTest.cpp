#include "graphics/PlotFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "tests/support/FileSizeLimit.h"

namespace lumidra::graphics {
namespace {

constexpr TPlotStamp Start{2026, 3, 5, 9, 5, 7};

TPlotRecord Record(std::uint8_t fill) {
    TPlotRecord record;
    record.fill(fill);
    return record;
}

QByteArray Contents(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

TEST(PlotFile, EveryPlotGetsItsOwnFileAndNoneIsOverwritten) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TPlotFile first;
    ASSERT_TRUE(first.Create(folder.path(), Start));
    EXPECT_EQ(first.FileName(), QDir(folder.path()).filePath("plot-20260305-090507.bin"));
    first.Append(Record(1));
    EXPECT_EQ(QFile(first.FileName()).size(), 0) << "buffered";
    first.Flush();
    EXPECT_EQ(Contents(first.FileName()), QByteArray(64, 1));

    // The same second again, the first file still open and then closed.
    TPlotFile second;
    ASSERT_TRUE(second.Create(folder.path(), Start));
    EXPECT_EQ(second.FileName(), QDir(folder.path()).filePath("plot-20260305-090507-2.bin"));
    first.Append(Record(2));
    first.Close();
    ASSERT_TRUE(second.Create(folder.path(), Start)) << "a second plot in the same object";
    EXPECT_EQ(second.FileName(), QDir(folder.path()).filePath("plot-20260305-090507-3.bin"));
    second.Close();

    EXPECT_EQ(Contents(QDir(folder.path()).filePath("plot-20260305-090507.bin")),
              QByteArray(64, 1) + QByteArray(64, 2));
    EXPECT_TRUE(first.TakeTrouble().isEmpty());
    EXPECT_TRUE(second.TakeTrouble().isEmpty());
}

TEST(PlotFile, AFolderThatTakesNoFileIsToldOnce) {
    QTemporaryDir folder;
    const QString missing = QDir(folder.path()).filePath("gone");
    TPlotFile file;
    EXPECT_FALSE(file.Create(missing, Start));
    EXPECT_FALSE(file.IsOpen());
    const QString trouble = file.TakeTrouble();
    EXPECT_TRUE(trouble.startsWith(QStringLiteral("Не удалось создать файл записи"))) << trouble.toStdString();
    EXPECT_TRUE(trouble.contains(QDir::toNativeSeparators(missing)));
    file.Append(Record(1));
    file.Close();
    EXPECT_TRUE(file.TakeTrouble().isEmpty()) << "told once";
}

#if defined(__linux__)
TEST(PlotFile, AFailedWriteIsToldOnceAndNothingMoreIsWritten) {
    QTemporaryDir folder;
    TPlotFile file;
    ASSERT_TRUE(file.Create(folder.path(), Start));
    {
        const testing::FileSizeLimit limit(100);
        for (std::size_t i = 0; i < TPlotFile::BufferSize / PlotRecordSize; ++i) file.Append(Record(3));
        const QString trouble = file.TakeTrouble();
        EXPECT_TRUE(trouble.startsWith(QStringLiteral("Ошибка записи в файл"))) << trouble.toStdString();
        file.Append(Record(4));
        file.Close();
        EXPECT_TRUE(file.TakeTrouble().isEmpty()) << "told once";
    }
    EXPECT_LE(QFile(file.FileName()).size(), 100);
}
#endif

}  // namespace
}  // namespace lumidra::graphics
