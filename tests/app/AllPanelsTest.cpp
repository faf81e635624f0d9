// The window with every panel shown (--all-panels): everything hidden is
// shown, nothing overlaps or is squeezed, the handlers work as in the stored
// layout; and every control is named for assistive technology.
#include "tests/app/MainWindowFixture.h"

#include "app/AllPanels.h"
#include "app/session/Language.h"

#include <QAccessible>
#include <QGroupBox>
#include <QMenu>
#include <QScrollBar>

#include <ostream>

namespace lumidra::testing {
namespace {

class AllPanelsTest : public MainWindowTest {
protected:
    void StartAllPanels() {
        Form = std::make_unique<app::TForm1>(Bus, Gui);
        app::ShowAllPanels(*Form);
        Form->show();
        QCoreApplication::processEvents();  // the layouts place their widgets
    }
};

std::string Name(const QWidget& w) {
    return w.objectName().toStdString();
}

// Within `parent`, recursively: every shown child lies inside its parent, no
// two shown siblings overlap, and none is smaller than its text needs.
void ExpectLaidOut(const QWidget& parent) {
    std::vector<const QWidget*> shown;
    for (const QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow()) shown.push_back(child);
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const QWidget& a = *shown[i];
        EXPECT_TRUE(parent.rect().contains(a.geometry())) << Name(a) << " leaves " << Name(parent);
        const QSize needs = a.minimumSizeHint().boundedTo(a.maximumSize());
        EXPECT_GE(a.width(), needs.width()) << Name(a) << " squeezed";
        EXPECT_GE(a.height(), needs.height()) << Name(a) << " squeezed";
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            EXPECT_FALSE(a.geometry().intersects(shown[j]->geometry())) << Name(a) << " overlaps " << Name(*shown[j]);
        }
        if (qobject_cast<const QAbstractScrollArea*>(&a) == nullptr) ExpectLaidOut(a);
    }
}

// In the source texts and in English, whose texts have other lengths.
class AllPanelsLanguages : public AllPanelsTest, public ::testing::WithParamInterface<app::TLanguage> {};

TEST_P(AllPanelsLanguages, ShowsEveryHiddenPanelWithoutOverlap) {
    const app::TTranslations translations(GetParam());
    StartAllPanels();
    auto& f = *Form;
    for (QWidget* w : std::initializer_list<QWidget*>{f.MemoKey, f.Button4, f.Button5, f.Button6}) {
        EXPECT_TRUE(w->isVisible()) << Name(*w);
    }
    for (QGroupBox* box : {f.StatusBox, f.InputBox, f.OutputBox, f.GroupBox2}) {
        EXPECT_TRUE(box->isVisible()) << Name(*box);
        for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(child->isVisible()) << Name(*child);
        }
    }
    for (QMenu* menu : {f.MenuN1, f.Menu_Trans, f.Menu_Flash}) {
        EXPECT_TRUE(menu->menuAction()->isVisible()) << Name(*menu);
    }
    // The conversions' scratch text and the sound player have nothing to show.
    EXPECT_FALSE(f.Memo1->isVisible());
    EXPECT_FALSE(f.MediaPlayer1->isVisible());

    {
        SCOPED_TRACE("as first shown");
        ExpectLaidOut(*f.centralwidget);
    }
    // A full-HD screen at 200 % scale has 960 x 540 to give.
    EXPECT_LE(f.minimumSize().width(), 960);
    EXPECT_LE(f.minimumSize().height(), 540 - 40);
    f.resize(100, 100);  // no smaller than the layouts allow
    QCoreApplication::processEvents();
    {
        SCOPED_TRACE("at the minimum size");
        EXPECT_EQ(f.size(), f.minimumSize());
        ExpectLaidOut(*f.centralwidget);
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, AllPanelsLanguages,
                         ::testing::Values(app::TLanguage::Source, app::TLanguage::English),
                         [](const ::testing::TestParamInfo<app::TLanguage>& test) {
                             return test.param == app::TLanguage::Source ? "Source" : "English";
                         });

// The key list takes what the window grows by; the stored layout's resize
// rule does not fight the layouts.
TEST_F(AllPanelsTest, KeyListTakesTheGrowth) {
    StartAllPanels();
    const QSize memo = Form->MemoKey->size();
    const QPoint output = Form->OutputBox->pos();
    Form->resize(Form->size() + QSize(200, 100));
    QCoreApplication::processEvents();
    EXPECT_EQ(Form->MemoKey->size(), memo + QSize(200, 100));
    EXPECT_EQ(Form->OutputBox->pos(), output);
}

// The same widgets, so attach and detach enable and disable them, the
// submenus too, and the Exit button closes the window.
TEST_F(AllPanelsTest, HandlersWorkInTheArrangement) {
    const int board = Bus.Plug({});
    StartAllPanels();
    auto& f = *Form;
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    for (QWidget* w : std::initializer_list<QWidget*>{f.Button4, f.Button5, f.Button7, f.EditCmd, f.CheckBox1}) {
        EXPECT_TRUE(w->isEnabled()) << Name(*w);
    }
    EXPECT_TRUE(f.CheckLight->isChecked());
    EXPECT_TRUE(f.MenuN1->menuAction()->isEnabled());
    EXPECT_TRUE(f.Menu_Flash->menuAction()->isEnabled());

    UnplugAndScan(board);
    ASSERT_FALSE(app::BoardAttached);
    for (QWidget* w : std::initializer_list<QWidget*>{f.Button4, f.Button5, f.Button7, f.EditCmd, f.CheckBox1}) {
        EXPECT_FALSE(w->isEnabled()) << Name(*w);
    }
    EXPECT_FALSE(f.MenuN1->menuAction()->isEnabled());
    EXPECT_FALSE(f.Menu_Flash->menuAction()->isEnabled());
    EXPECT_TRUE(f.Menu_Trans->menuAction()->isEnabled());
    EXPECT_TRUE(f.Button6->isEnabled());
    f.Button6->click();
    EXPECT_FALSE(f.isVisible()) << "Exit closes the window";
}

QString AccessibleName(QWidget& w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&w);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

// Every control a person uses has a name of its own: its caption, its
// label's text, or an accessible name; never just its group's title.
TEST_F(AllPanelsTest, EveryControlIsNamed) {
    StartAllPanels();
    int controls = 0;
    for (QWidget* w : Form->centralwidget->findChildren<QWidget*>()) {
        const bool used = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                          qobject_cast<QAbstractSlider*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                          qobject_cast<QProgressBar*>(w) || w == Form->Image1;
        // A memo's own scroll bars are parts of it, not controls of their own.
        if (!used || !w->isVisible() || qobject_cast<QScrollBar*>(w)) continue;
        ++controls;
        const QString name = AccessibleName(*w);
        EXPECT_FALSE(name.trimmed().isEmpty()) << Name(*w);
        const auto* group = qobject_cast<QGroupBox*>(w->parentWidget());
        if (group != nullptr) {
            EXPECT_NE(name, group->title()) << Name(*w) << " named by its group only";
        }
    }
    EXPECT_GE(controls, 20);
}

struct TNameCase {
    const char* Widget;
    QString Name;
    QString Description;  // the layout's hint, as a tool tip
    friend void PrintTo(const TNameCase& c, std::ostream* os) { *os << c.Widget; }
};

class AccessibleNames : public AllPanelsTest, public ::testing::WithParamInterface<TNameCase> {};

TEST_P(AccessibleNames, NameAndHint) {
    StartAllPanels();
    auto* w = Form->findChild<QWidget*>(QString::fromLatin1(GetParam().Widget));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(AccessibleName(*w), GetParam().Name);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->text(QAccessible::Description), GetParam().Description);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, AccessibleNames,
    ::testing::Values(
        TNameCase{"EditCmd", QStringLiteral("Команда:"), {}}, TNameCase{"EditTxt", QStringLiteral("Текст:"), {}},
        TNameCase{"Edit1", QStringLiteral("Значение LED-дисплея"), QStringLiteral("Введите HEX-число от 0 до FFFF.")},
        TNameCase{"Button1", QStringLiteral("Send Caption"), QStringLiteral("Вывести значение на LED-дисплей.")},
        TNameCase{"CheckBox2", QStringLiteral("Ind2"), QStringLiteral("Управление 2 LED-индикатором.")},
        TNameCase{"ContrastBar", QStringLiteral("Contrast : 0%"), {}},
        TNameCase{"Bar2", QStringLiteral("Канал 2 : 0%"), {}}, TNameCase{"MemoKey", QStringLiteral("База ключей"), {}},
        TNameCase{"Button7", QStringLiteral("Отправить"), {}}),
    [](const ::testing::TestParamInfo<TNameCase>& test) { return std::string(test.param.Widget); });

}  // namespace
}  // namespace lumidra::testing
