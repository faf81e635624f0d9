// The main window as laid out: its size, looks, what is shown, and the
// resize rule.
#include "tests/app/MainWindowFixture.h"

#include "graphics/Unit2.h"
#include "desktop/Widgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QFontInfo>
#include <QMenu>

namespace lumidra::testing {
namespace {

class Layout : public MainWindowTest {};

TEST_F(Layout, WindowSizesAndTimers) {
    Start();
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Lumidra"));
    // The design size is the outer one, frame included, once the frame is known.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form->OuterSize() == app::DesignSize; }, 2000))
        << Form->OuterSize().width() << "x" << Form->OuterSize().height();
    EXPECT_EQ(Form->MemoKey->size(), QSize(296, 251));
    EXPECT_TRUE(Form->Timer1->isActive());
    EXPECT_FALSE(Form->KeyTimer->isActive());
}

// A fixed-pitch font where the layout names Fixedsys or System; elsewhere the
// window's 11-pixel sans font, which the bold labels inherit.
TEST_F(Layout, Fonts) {
    Start();
    for (QWidget* w :
         std::initializer_list<QWidget*>{Form->Label7, Form->LabelTime, Form->Edit1, Form->Key, Form->MemoKey}) {
        EXPECT_TRUE(QFontInfo(w->font()).fixedPitch()) << w->objectName().toStdString();
    }
    EXPECT_FALSE(QFontInfo(Form->Label5->font()).fixedPitch());
    EXPECT_TRUE(Form->Label5->font().bold());
    EXPECT_EQ(Form->Label5->font().pixelSize(), 11);
    EXPECT_EQ(Form->EditCmd->font().pixelSize(), 13);
}

TEST_F(Layout, AutoSizeLabelsFollowTheirText) {
    Start();
    QLabel& label = *Form->Label1;
    desktop::SetCaption(label, QStringLiteral("Устройство отключено."));
    const int wide = label.width();
    desktop::SetCaption(label, QStringLiteral("x"));
    EXPECT_LT(label.width(), wide);
    QLabel& fixed = *Form->Label7;
    desktop::SetCaption(fixed, QStringLiteral(" ON  "));
    EXPECT_EQ(fixed.size(), QSize(40, 16));
}

TEST_F(Layout, ClockLabelsShowTheClockAtStart) {
    Seams.Clock = QDateTime(QDate(2026, 3, 5), QTime(9, 5, 7));
    Start();
    EXPECT_EQ(Form->LabelTime->text(), QStringLiteral(" 09:05:07"));
    EXPECT_EQ(Form->LabelDate->text(), QStringLiteral(" 05.03.2026"));
    Seams.Clock = QDateTime(QDate(2026, 12, 31), QTime(23, 0, 1));
    Form->Timer1Timer();
    EXPECT_EQ(Form->LabelTime->text(), QStringLiteral(" 23:00:01"));
    EXPECT_EQ(Form->LabelDate->text(), QStringLiteral(" 31.12.2026"));
}

TEST_F(Layout, EditingTheKeyBaseMarksItUnsaved) {
    StartAndScan();
    EXPECT_TRUE(protocol::KeyBaseSaved);
    EXPECT_TRUE(Form->MemoKey->isEnabled());
    EXPECT_FALSE(Form->MemoKey->isReadOnly());
    QTest::keyClicks(Form->MemoKey, QStringLiteral("A"));
    EXPECT_FALSE(protocol::KeyBaseSaved);
    protocol::KeyBaseSaved = true;
    Form->MemoKey->setPlainText(QStringLiteral("0123456789ABCDEF"));  // by code too
    EXPECT_FALSE(protocol::KeyBaseSaved);
}

// Outer size minus 330 wide and minus 99 high, down to the minimum size.
TEST_F(Layout, ResizeRuleDownToTheMinimum) {
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->OuterSize() == app::DesignSize; }, 2000));
    const QSize frame = Form->OuterSize() - Form->size();
    const auto resizeTo = [&](QSize size, QSize memo) {
        Form->resize(size - frame);  // outer sizes
        EXPECT_TRUE(QTest::qWaitFor([&] { return Form->MemoKey->size() == memo; }, 2000))
            << size.width() << "x" << size.height() << " gives " << Form->MemoKey->width() << "x"
            << Form->MemoKey->height();
    };
    resizeTo(QSize(800, 600), QSize(470, 501));
    resizeTo(QSize(500, 350), QSize(170, 251));
    EXPECT_EQ(Form->OuterSize(), app::MinimumSize);
    resizeTo(QSize(300, 200), QSize(170, 251));  // cannot be made smaller
    EXPECT_EQ(Form->OuterSize(), app::MinimumSize);
    EXPECT_EQ(Form->MemoKey->pos(), QPoint(304, 21)) << "nothing else moves";
    EXPECT_EQ(Form->InputBox->geometry(), QRect(16, 16, 273, 257));
}

// Nothing the user or the board does shows a hidden control or menu.
TEST_F(Layout, NoActionShowsAHiddenControl) {
    Seams.CancelUnscripted = true;
    const int board = Bus.Plug({});
    Start();
    const auto expectHidden = [&](const char* stage) {
        SCOPED_TRACE(stage);
        auto& f = *Form;
        for (QWidget* w : std::initializer_list<QWidget*>{f.OutputBox, f.StatusBox, f.GroupBox2, f.Button4, f.Button5,
                                                          f.Button6, f.Memo1, f.MediaPlayer1}) {
            EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
        }
        for (QMenu* menu : {f.MenuN1, f.Menu_Trans, f.Menu_Flash}) {
            EXPECT_FALSE(menu->menuAction()->isVisible()) << menu->objectName().toStdString();
        }
        for (QWidget* w : std::initializer_list<QWidget*>{f.InputBox, f.MemoKey, f.Label5, f.Key, f.Bar1}) {
            EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
        }
        EXPECT_TRUE(f.LoadBase->isVisible());
        EXPECT_TRUE(f.SaveBase->isVisible());
        ASSERT_NE(graphics::Form2, nullptr);
    };
    graphics::TForm2 plot;
    EXPECT_FALSE(plot.isVisible()) << "the plot window is made hidden";
    expectHidden("detached");
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    expectHidden("attached");

    // Every command, button and box of the window, reachable or not.
    for (QAction* action : Form->findChildren<QAction*>()) {
        if (!action->menu()) action->trigger();
    }
    for (QAbstractButton* button : Form->centralWidget()->findChildren<QAbstractButton*>()) {
        if (button != Form->Button6) button->click();
    }
    Form->ContrastBar->setValue(20);
    QTest::keyClicks(Form->Edit1, QStringLiteral("12"));
    QTest::keyClicks(Form->EditTxt, QStringLiteral("ab"));
    QTest::mouseDClick(Form->Image1, Qt::LeftButton);
    QCoreApplication::processEvents();
    expectHidden("after every command");

    UnplugAndScan(board);
    expectHidden("detached again");
    EXPECT_FALSE(plot.isVisible());
}

}  // namespace
}  // namespace lumidra::testing
