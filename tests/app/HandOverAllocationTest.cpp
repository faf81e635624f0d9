// A report's hand-over from a reader to the GUI thread allocates nothing: the
// synchronised call of a worker thread, through the program's Qt GUI thread
// (and the tests' own), counted with a replaced global operator new. A test
// program of its own, because the replacement counts for the whole program.
#include "app/session/QtGuiThread.h"
#include "hid/CustomThread.h"
#include "tests/support/TestGuiThread.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>

namespace {

std::atomic<bool> Counting{false};
std::atomic<long> Allocations{0};

void* Allocate(std::size_t size) {
    if (Counting.load(std::memory_order_relaxed)) Allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace lumidra::app {
namespace {

// A reader's hand-over without the reading: the body hands `Total` reports
// over one after another, each by a synchronised call, as the reader does.
class THandOverThread final : public hid::TCustomThread {
public:
    THandOverThread(hid::TGuiThread& gui, int total) : TCustomThread(gui), total_(total) {}
    ~THandOverThread() override {
        Terminate();
        WaitFor();
    }
    std::atomic<int> Handled{0};
    std::atomic<long> AllocationsAtWarm{-1};

protected:
    void Execute() override {
        for (int i = 0; i < total_ && !Terminated(); ++i) Synchronize([this] { Deliver(); });
    }

private:
    void Deliver() {
        // The counting starts once the queues and Qt's lists have their size.
        if (Handled.fetch_add(1) + 1 == WarmUp) {
            Allocations = 0;
            Counting = true;
        }
    }

public:
    static constexpr int WarmUp = 100;

private:
    const int total_;
};

struct TGuiKind {
    const char* Name;
    std::function<std::unique_ptr<hid::TGuiThread>()> Make;
    std::function<void(hid::TGuiThread&)> Pump;
};

void PrintTo(const TGuiKind& kind, std::ostream* os) {
    *os << kind.Name;
}

class HandOverAllocations : public ::testing::TestWithParam<TGuiKind> {};

TEST_P(HandOverAllocations, NonePerReport) {
    constexpr int Reports = 5000;
    auto gui = GetParam().Make();
    THandOverThread thread(*gui, THandOverThread::WarmUp + Reports);
    thread.Start();
    for (int turns = 0; thread.Handled < THandOverThread::WarmUp + Reports && turns < 10'000'000; ++turns)
        GetParam().Pump(*gui);
    Counting = false;
    ASSERT_EQ(thread.Handled, THandOverThread::WarmUp + Reports);
    EXPECT_EQ(Allocations.load(), 0) << "allocations in " << Reports << " hand-overs";
}

const TGuiKind GuiKinds[] = {
    {"QtGuiThread", [] { return std::make_unique<QtGuiThread>(); },
     [](hid::TGuiThread&) { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50); }},
    {"TestGuiThread", [] { return std::make_unique<testing::TestGuiThread>(); },
     [](hid::TGuiThread& gui) {
         auto& test = static_cast<testing::TestGuiThread&>(gui);
         if (test.ProcessPending() == 0) test.WaitUntilQueued(std::chrono::milliseconds(50));
     }},
};

INSTANTIATE_TEST_SUITE_P(GuiThreads, HandOverAllocations, ::testing::ValuesIn(GuiKinds),
                         [](const auto& test) { return std::string(test.param.Name); });

// The counter itself: a one-off call whose capture is too big to sit inside
// std::function allocates, and is seen.
TEST(HandOverAllocationCounter, SeesAnAllocation) {
    QtGuiThread gui;
    std::string big(100, 'x');
    Allocations = 0;
    Counting = true;
    gui.Post([big] {});
    Counting = false;
    EXPECT_GE(Allocations.load(), 1);
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace lumidra::app

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
