#include "desktop/KeySoundPlayer.h"
#include "desktop/QtSeams.h"
#include "desktop/Seams.h"
#include "tests/support/ScriptedSeams.h"

#include <QApplication>
#include <QFileDialog>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

namespace lumidra::desktop {
namespace {

TEST(IsWaveHeader, OnlyARiffWaveStart) {
    using namespace std::string_view_literals;
    EXPECT_TRUE(IsWaveHeader("RIFF\x24\x11\0\0WAVEfmt "sv));
    EXPECT_FALSE(IsWaveHeader("RIFF\x24\x11\0\0AVI LIST"sv));
    EXPECT_FALSE(IsWaveHeader("RIFF\x24\x11\0\0WAV"sv));
    EXPECT_FALSE(IsWaveHeader("ID3\x03\0\0\0\0WAVE"sv));
    EXPECT_FALSE(IsWaveHeader(""sv));
}

TEST(QtNameFilters, PairsBecomeNameFilters) {
    EXPECT_EQ(QtNameFilters(QStringLiteral("Двоичный файл|*.bin|Все файлы|*.*")),
              (QStringList{QStringLiteral("Двоичный файл (*.bin)"), QStringLiteral("Все файлы (*)")}));
    EXPECT_EQ(QtNameFilters(QStringLiteral("Pictures|*.bmp;*.png")),
              QStringList{QStringLiteral("Pictures (*.bmp *.png)")});
    EXPECT_TRUE(QtNameFilters(QString()).isEmpty());
    EXPECT_EQ(QtNameFilters(QStringLiteral("Text|*.txt|Dangling")), QStringList{QStringLiteral("Text (*.txt)")});
}

TEST(QtSeams, FileDialogOpensWideEnoughForItsColumns) {
    QtSeams seams;
    TFileDialog dialog(TFileDialogKind::Open);
    QSize shown;
    QTimer::singleShot(0, [&] {
        auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(open, nullptr);
        shown = open->size();
        open->reject();
    });
    EXPECT_FALSE(seams.ExecuteFileDialog(dialog));
    const QSize least = QSize(800, 500).boundedTo(QGuiApplication::primaryScreen()->availableGeometry().size());
    EXPECT_GE(shown.width(), least.width());
    EXPECT_GE(shown.height(), least.height());
}

TEST(Seams, InstalledForItsLifetimeThenTheDefaultAgain) {
    QtSeams toolkit;
    SetDefaultSeams(&toolkit);
    {
        testing::ScriptedSeams scripted;
        EXPECT_EQ(&Seams(), &scripted);
    }
    EXPECT_EQ(&Seams(), &toolkit);
    SetDefaultSeams(nullptr);
    EXPECT_EQ(dynamic_cast<QtSeams*>(&Seams()), nullptr) << "with no default the plain seams answer";
}

// A dialog is a component: what one command sets stays for the next command
// that uses the same dialog and does not set it itself.
TEST(TFileDialog, KeepsItsSettingsBetweenUses) {
    testing::ScriptedSeams seams;
    TFileDialog dialog(TFileDialogKind::Save, ofOverwritePrompt | ofEnableSizing);
    dialog.Filter = QStringLiteral("Текстовый файл|*.txt|Все файлы|*.*");
    dialog.Title = QStringLiteral("Сохранение базы ключей :");
    dialog.InitialDir = QStringLiteral("/start");
    seams.DialogAnswers = {QStringLiteral("/start/keys.txt"), std::nullopt};

    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, QStringLiteral("/start/keys.txt"));

    dialog.Filter = QStringLiteral("Двоичный файл|*.bin|Все файлы|*.*");  // the next command's own
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, QStringLiteral("/start/keys.txt")) << "a cancel chooses nothing";

    ASSERT_EQ(seams.Dialogs.size(), 2u);
    const auto& second = seams.Dialogs[1];
    EXPECT_EQ(second.Kind, TFileDialogKind::Save);
    EXPECT_EQ(second.Filter, QStringLiteral("Двоичный файл|*.bin|Все файлы|*.*"));
    EXPECT_EQ(second.Title, QStringLiteral("Сохранение базы ключей :"));
    EXPECT_EQ(second.InitialDir, QStringLiteral("/start"));
    EXPECT_EQ(second.Options, ofOverwritePrompt | ofEnableSizing);
}

}  // namespace
}  // namespace lumidra::desktop
