// The window, its boxes and dialogs, and Qt's own texts in the language of
// the run; the source texts are what every other test sees.
#include "tests/app/MainWindowFixture.h"

#include "app/session/Language.h"

#include <QMessageBox>
#include <QPushButton>

namespace lumidra::testing {
namespace {

class Translation : public MainWindowTest {};

TEST_F(Translation, EnglishWindowBoxesAndDialogs) {
    const app::TTranslations english(app::TLanguage::English);
    StartAndScan();
    // Texts of the form, of the window's code and of the input decode.
    EXPECT_EQ(Form->LoadBase->text(), QStringLiteral("Load"));
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("Device detached."));
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Channel 1 : 0%"));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("    No key active"));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Seams.DialogAnswers.push_back(dir.filePath(QStringLiteral("keys.txt")));
    Form->SaveBase->trigger();
    ASSERT_EQ(Seams.Dialogs.size(), 1U);
    EXPECT_EQ(Seams.Dialogs[0].Title, QStringLiteral("Save key base:"));
    EXPECT_EQ(Seams.Dialogs[0].Filter, QStringLiteral("Text file|*.txt|All files|*.*"));
    ASSERT_EQ(Seams.Boxes.size(), 1U);
    EXPECT_EQ(Seams.Boxes[0].Text, QStringLiteral("The data is saved."));
}

TEST_F(Translation, RussianQtButtons) {
    const app::TTranslations russian(app::TLanguage::Russian);
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
}

}  // namespace
}  // namespace lumidra::testing
