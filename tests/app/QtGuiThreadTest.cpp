#include "app/session/QtGuiThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
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
    std::thread worker([&] {
        gui.Post([&] {
            ranInside = nested.isRunning();
            nested.quit();
        });
    });
    QTimer::singleShot(5000, &nested, &QEventLoop::quit);  // a safety net, not a measure
    nested.exec();
    worker.join();
    EXPECT_TRUE(ranInside);
}

class TCountedCall final : public hid::TGuiCall {
public:
    TCountedCall(std::vector<int>& order, int mark) : order_(order), mark_(mark) {}
    void Run() override { order_.push_back(mark_); }

private:
    std::vector<int>& order_;
    int mark_;
};

// The reader's kind of call (one object, posted again and again) and one-off
// calls share one queue: a worker's calls run in the order it posted them.
TEST(QtGuiThread, ReusableAndOneOffCallsRunInTheOrderPosted) {
    QtGuiThread gui;
    std::vector<int> order;
    std::vector<std::shared_ptr<TCountedCall>> reusable;
    for (int k = 0; k < 5; ++k) reusable.push_back(std::make_shared<TCountedCall>(order, -1 - k));
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            gui.Post([&, i] { order.push_back(i); });
            if (i % 10 == 0) gui.PostCall(reusable[i / 10]);
        }
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 55; }, 5000));
    std::vector<int> expected;
    for (int i = 0; i < 50; ++i) {
        expected.push_back(i);
        if (i % 10 == 0) expected.push_back(-1 - i / 10);
    }
    EXPECT_EQ(order, expected);
}

// A call that opens a modal box's loop: the calls posted behind it run in
// that loop, in order, before the box closes.
TEST(QtGuiThread, CallsBehindACallThatOpensANestedLoopRunInIt) {
    QtGuiThread gui;
    QEventLoop nested;
    std::vector<int> ranInside;
    gui.Post([&] {
        QTimer::singleShot(5000, &nested, &QEventLoop::quit);  // a safety net, not a measure
        nested.exec();
    });
    gui.Post([&] { ranInside.push_back(nested.isRunning() ? 1 : 0); });
    gui.Post([&] {
        ranInside.push_back(nested.isRunning() ? 2 : 0);
        nested.quit();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranInside.size() == 2 && !nested.isRunning(); }, 6000));
    EXPECT_EQ(ranInside, (std::vector<int>{1, 2}));
}

// Shutdown: calls still waiting never run, and the GUI thread's hold on a
// reusable call goes with it.
TEST(QtGuiThread, LetsGoOfWaitingCallsWhenItGoes) {
    std::vector<int> order;
    std::weak_ptr<hid::TGuiCall> watched;
    {
        QtGuiThread gui;
        auto reusable = std::make_shared<TCountedCall>(order, -1);
        watched = reusable;
        std::thread worker([&] {
            gui.PostCall(std::move(reusable));
            gui.Post([&] { order.push_back(1); });
        });
        worker.join();
        EXPECT_FALSE(watched.expired());
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(watched.expired());
    EXPECT_TRUE(order.empty());
}

}  // namespace
}  // namespace lumidra::app
