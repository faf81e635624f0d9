// The text cursor rests after a while without input and blinks again at the
// next key or click. (The application object comes from FramePacerTest.cpp.)
#include "desktop/CursorBlinkRest.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QStyleHints>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <string>

namespace lumidra::desktop {
namespace {

struct TimerCounter : QObject {
    int Timers = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer) ++Timers;
        return false;
    }
};

struct TWakeCase {
    const char* Name;
    QEvent::Type Input;
};

void PrintTo(const TWakeCase& c, std::ostream* os) {
    *os << c.Name;
}

class CursorBlinkRest : public ::testing::TestWithParam<TWakeCase> {};

TEST_P(CursorBlinkRest, StopsBlinkingWhenIdleAndBlinksAgainAtInput) {
    const int platformRate = QGuiApplication::styleHints()->cursorFlashTime();
    ASSERT_GT(platformRate, 0);
    QPlainTextEdit edit;
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    edit.activateWindow();
    edit.setFocus();
    {
        TCursorBlinkRest rest(nullptr, 50);
        ASSERT_TRUE(QTest::qWaitFor([&] { return rest.Resting(); }, 2000));
        EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), 0);
        // The edit's blink timer is gone: nothing wakes it any more.
        TimerCounter counter;
        edit.viewport()->installEventFilter(&counter);
        edit.installEventFilter(&counter);
        const auto children = edit.findChildren<QObject*>();
        for (QObject* child : children) child->installEventFilter(&counter);
        QTest::qWait(3 * platformRate / 2);
        EXPECT_EQ(counter.Timers, 0);

        if (GetParam().Input == QEvent::KeyPress)
            QTest::keyClick(&edit, Qt::Key_A);
        else
            QTest::mouseClick(edit.viewport(), Qt::LeftButton);
        EXPECT_FALSE(rest.Resting());
        EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), platformRate);
        ASSERT_TRUE(QTest::qWaitFor([&] { return rest.Resting(); }, 2000)) << "rests again";
    }
    EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), platformRate) << "restored when it goes";
}

const TWakeCase WakeCases[] = {{"Key", QEvent::KeyPress}, {"Click", QEvent::MouseButtonPress}};

INSTANTIATE_TEST_SUITE_P(Inputs, CursorBlinkRest, ::testing::ValuesIn(WakeCases),
                         [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::desktop
