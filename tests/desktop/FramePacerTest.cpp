#include "desktop/FramePacer.h"

#include <QApplication>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace lumidra::desktop {
namespace {

struct PaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++Paints;
        return false;
    }
};

// A progress bar repaints at once whenever its value moves; a board moves it
// with every report. Within one frame only the first change is painted, the
// last state once the frame is over.
TEST(FramePacer, ChangesWithinAFrameArePaintedOnceAndTheLastStateAfterIt) {
    static int argc = 1;
    static char name[] = "desktop-tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    QWidget window;
    auto* bar = new QProgressBar(&window);
    bar->setRange(0, 1023);
    (new QVBoxLayout(&window))->addWidget(bar);
    auto* pacer = new TFramePacer(window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(2 * TFramePacer::FrameMs);
    PaintCounter counter;
    bar->installEventFilter(&counter);

    for (int value = 100; value <= 1000; value += 100) bar->setValue(value);
    EXPECT_LE(counter.Paints, 1);
    EXPECT_GE(pacer->HeldBack(), 1);
    const int inFrame = counter.Paints;
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.Paints > inFrame; }, 1000)) << "the last state was never painted";
}

}  // namespace
}  // namespace lumidra::desktop
