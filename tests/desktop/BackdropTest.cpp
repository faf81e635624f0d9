#include "desktop/Widgets.h"

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

    // The bar's copy of a look it had is what painting it shows.
    KeepBarLooks(*bar);
    bar->setValue(80);
    bar->repaint();
    bar->setValue(50);
    bar->repaint();
    QTest::qWait(0);
    bar->repaint();
    EXPECT_EQ(OnScreen(window), before);
}

}  // namespace
}  // namespace lumidra::desktop
