#include "desktop/Widgets.h"
#include "tests/support/PaintCounter.h"

#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace lumidra::desktop {
namespace {

QImage OnScreen(QWidget& window) {
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// A caption and a bar inside a group box's plain inside repaint alone, and
// the window looks as before, pixel for pixel; a caption across the frame
// keeps its transparent background.
TEST(Backdrop, ChildrenOnThePlainInsideRepaintAloneAndLookTheSame) {
    // The bar's copies serve a style whose bar looks the same in each state.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QWidget window;
    window.resize(300, 200);
    auto* box = new QGroupBox(QStringLiteral("Input"), &window);
    box->setGeometry(10, 10, 280, 180);
    auto* caption = new QLabel(QStringLiteral("Channel 1 : 50 %"), box);
    caption->setGeometry(20, 40, 150, 16);
    auto* bar = new QProgressBar(box);
    bar->setStyle(fusion.get());
    bar->setGeometry(20, 70, 200, 18);
    bar->setTextVisible(false);
    bar->setValue(50);
    auto* across = new QLabel(QStringLiteral("Across"), box);
    across->setGeometry(-5, 120, 60, 16);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage before = OnScreen(window);

    FillWithBackdrop(*box, {caption, bar, across});
    ASSERT_TRUE(QTest::qWaitFor([&] { return caption->testAttribute(Qt::WA_OpaquePaintEvent); }, 1000));
    EXPECT_TRUE(bar->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_FALSE(across->testAttribute(Qt::WA_OpaquePaintEvent));
    for (QWidget* child : {static_cast<QWidget*>(caption), static_cast<QWidget*>(bar), static_cast<QWidget*>(across)})
        child->repaint();
    EXPECT_EQ(OnScreen(window), before);

    // A look painted once is copied; the copy is what painting it shows. A
    // paint that gets past the copies reaches `painted`'s filter.
    auto* input = new QLabel(QStringLiteral(" Off "), box);
    input->setGeometry(200, 40, 40, 16);
    SetTwoBackgrounds(*input, Qt::yellow, Qt::green);
    {
        // Shown when the window's next update comes round: one turn of the
        // loop under Qt 6.4, a later one under Qt 6.8.
        testing::TPaintCounter shown(*input);
        input->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown.Count > 0; }, 1000));
    }
    const QImage withInput = OnScreen(window);
    testing::TPaintCounter painted(*caption);
    const std::vector<QWidget*> kept{caption, bar, input};
    for (QWidget* widget : kept) KeepLooks(*widget);
    for (const bool other : {true, false}) {
        bar->setValue(other ? 80 : 50);
        caption->setText(other ? QStringLiteral("Channel 1 : 80 %") : QStringLiteral("Channel 1 : 50 %"));
        ShowSecondBackground(*input, other);
        for (QWidget* widget : kept) widget->repaint();
        QTest::qWait(0);
    }
    painted.Count = 0;
    for (QWidget* widget : kept) widget->repaint();
    EXPECT_EQ(painted.Count, 0);
    EXPECT_EQ(OnScreen(window), withInput);
}

}  // namespace
}  // namespace lumidra::desktop
