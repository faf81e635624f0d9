#include "app/QtGuiThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace lumidra::app {
namespace {

TEST(QtGuiThread, CallsPostedFromAnotherThreadRunOnTheGuiThreadInOrder) {
    QtGuiThread gui;
    EXPECT_TRUE(gui.IsGuiThread());
    std::vector<int> order;
    std::atomic<bool> workerIsGui{true};
    std::atomic<int> ranOnGui{0};
    std::thread worker([&] {
        workerIsGui = gui.IsGuiThread();
        for (int i = 0; i < 100; ++i) {
            gui.Post([&, i] {
                if (gui.IsGuiThread()) ++ranOnGui;
                order.push_back(i);
            });
        }
    });
    worker.join();
    EXPECT_FALSE(workerIsGui);
    EXPECT_TRUE(order.empty()) << "nothing runs before the loop turns";
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 100; }, 5000));
    EXPECT_EQ(ranOnGui, 100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
}

// A reader waits for its report to be handled while the GUI thread sits in a
// modal box's loop; the call must run in that nested loop.
TEST(QtGuiThread, PostedCallsRunInsideANestedLoop) {
    QtGuiThread gui;
    QEventLoop nested;
    bool ranInside = false;
    std::thread worker([&] { gui.Post([&] { ranInside = nested.isRunning(); nested.quit(); }); });
    QTimer::singleShot(5000, &nested, &QEventLoop::quit);  // a safety net, not a measure
    nested.exec();
    worker.join();
    EXPECT_TRUE(ranInside);
}

}  // namespace
}  // namespace lumidra::app
