// The reader: what a delivery carries, strict order, errors after unplug, a
// handler that throws, and stopping a reader from inside its own delivery.
#include "HidTestSupport.h"

#include <stdexcept>
#include <thread>

namespace lumidra::hid::testing {
namespace {

class Reader : public HidTest {
protected:
    int id = 0;
    THidDevice* d = nullptr;
    void SetUp() override {
        id = Bus.Plug(Board("A"));
        Started();
        Controller->Devices()[0]->SetSleepTime(10);
        d = Claim(0);
        ASSERT_NE(d->Reader(), nullptr);
    }
    void WaitUntilPosted() {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (Gui.Queued() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
        ASSERT_GT(Gui.Queued(), 0u);
    }
};

// The check-out returns with the read handle open, whenever the new thread
// gets to run: what the device sends from then on waits for the reader.
TEST_F(HidTest, ReaderHandleIsOpenWhenTheCheckOutReturns) {
    Bus.Plug(Board("A"));
    Started();
    THidDevice* device = Claim(0);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->ReadHandle(), InvalidHidHandle);
}

// ---------------------------------------------------------------------------
// Deliveries

TEST_F(Reader, DeliversReportIdDataAndSize) {
    const auto full = Report(3, 0xA5A5);
    Bus.Feed(id, full);
    Bus.Feed(id, {7, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(PumpUntil([&] { return Events.Deliveries.size() == 2; }));
    EXPECT_EQ(Events.Deliveries[0].Device, d);
    EXPECT_EQ(Events.Deliveries[0].ReportID, 3);
    EXPECT_EQ(Events.Deliveries[0].Data, std::vector<std::uint8_t>(full.begin() + 1, full.end()));
    EXPECT_EQ(Events.Deliveries[1].ReportID, 7);
    EXPECT_EQ(Events.Deliveries[1].Data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(d->Reader()->InputBuffer.size(), 65u) << "sized from the capabilities";
}

TEST_F(Reader, ZeroByteReadDeliversNothing) {
    Bus.Feed(id, {});
    Bus.Feed(id, {9, 42});
    ASSERT_TRUE(PumpUntil([&] { return !Events.Deliveries.empty(); }));
    Gui.RunFor(50ms);
    ASSERT_EQ(Events.Deliveries.size(), 1u);
    EXPECT_EQ(Events.Deliveries[0].ReportID, 9);
    EXPECT_EQ(Events.Deliveries[0].Data, std::vector<std::uint8_t>{42});
    EXPECT_TRUE(Events.Errors.empty());
}

TEST_F(Reader, DeliversOneAtATimeInOrderUnderLoad) {
    constexpr std::uint32_t Count = 4000;
    std::uint32_t expected = 0;
    bool intact = true;
    Events.OnData = [&](THidDevice*) {
        const auto& got = Events.Deliveries.back();
        auto want = Report(static_cast<std::uint8_t>(expected), expected);
        if (got.ReportID != want[0] || got.Data != std::vector<std::uint8_t>(want.begin() + 1, want.end()))
            intact = false;
        ++expected;
        // The reader must not touch the buffer while a handler runs.
        if (expected % 256 == 0) std::this_thread::sleep_for(1ms);
        Events.Deliveries.pop_back();
    };
    std::thread feeder([&] {
        for (std::uint32_t i = 0; i < Count; ++i) Bus.Feed(id, Report(static_cast<std::uint8_t>(i), i));
    });
    const bool done = PumpUntil([&] { return expected == Count; }, 60s);
    feeder.join();
    ASSERT_TRUE(done) << expected << " of " << Count;
    EXPECT_TRUE(intact) << "a report arrived out of order or changed";
}

TEST_F(Reader, ReadsOnlyBufferSizedAtCreationEvenWhenCapabilitiesGrowLater) {
    // Capabilities unreadable when the reader is made: a zero-length buffer,
    // which capabilities readable later must not make the reader overrun.
    d->SetDataHandler(nullptr);
    const int other = Bus.Plug(Board("B"));
    Pump();
    ASSERT_EQ(Paths(), (std::vector<std::string>{"A", "B"}));
    Bus.SetFaults(other, {.ReadStartFails = true, .PreparsedFails = true});
    Controller->Devices()[1]->SetSleepTime(10);
    THidDevice* b = Claim(1);
    ASSERT_NE(b->Reader(), nullptr);
    EXPECT_EQ(b->Reader()->InputBuffer.size(), 0u);
    ASSERT_TRUE(PumpUntil([&] { return Events.Errors.size() >= 1; }));
    Bus.SetFaults(other, {.ReadStartFails = true});  // capabilities readable from now on
    const auto seen = Events.Errors.size();
    ASSERT_TRUE(PumpUntil([&] { return Events.Errors.size() >= seen + 3; }));
    THidCaps caps;
    b->QueryCaps(caps);
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(b->Reader()->InputBuffer.size(), 0u);
}

// ---------------------------------------------------------------------------
// Errors

TEST_F(Reader, ReadThatCannotStartRaisesAnErrorPerSleepTime) {
    Bus.SetFaults(id, {.ReadStartFails = true});
    // Let a read that is already pending run out first.
    Bus.Feed(id, {1, 1});
    ASSERT_TRUE(PumpUntil([&] { return Events.Errors.size() >= 2; }));
    EXPECT_EQ(Events.Errors[0], ERROR_GEN_FAILURE_CODE);
    EXPECT_TRUE(d->Present());
}

TEST_F(Reader, AfterUnplugRaisesOneDataErrorPerSleepTime) {
    d->SetSleepTime(20);
    // A report first, so the reader has its read handle open when the device goes.
    Bus.Feed(id, Report(1, 1));
    ASSERT_TRUE(PumpUntil([&] { return Events.Deliveries.size() == 1; }));
    Bus.Unplug(id);
    ASSERT_TRUE(PumpUntil([&] { return !d->Present(); }));
    Events.Errors.clear();
    const auto start = std::chrono::steady_clock::now();
    Gui.RunFor(400ms);
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    // One error, then one pause of 20 ms: about 20 in 400 ms, never a busy loop.
    EXPECT_GE(Events.Errors.size(), 3u);
    EXPECT_LE(Events.Errors.size(), static_cast<std::size_t>(elapsedMs / 20 + 3));
    for (auto error : Events.Errors) EXPECT_EQ(error, ERROR_DEVICE_NOT_CONNECTED_CODE);
    EXPECT_EQ(Events.Deliveries.size(), 1u);
    EXPECT_EQ(Bus.OpenHandles(id), 0u) << "the reader must not reopen an unplugged device";
}

TEST_F(Reader, HandlerThatThrowsStopsDeliveryUntilTheReaderIsRestarted) {
    Events.OnData = [](THidDevice*) { throw std::runtime_error("handler failed"); };
    Bus.Feed(id, Report(1, 1));
    ASSERT_TRUE(PumpUntil([&] { return d->Reader()->Finished(); }));
    EXPECT_TRUE(d->Reader()->FatalException());
    Bus.Feed(id, Report(2, 2));
    Bus.Feed(id, Report(3, 3));
    Gui.RunFor(100ms);
    EXPECT_EQ(Events.Deliveries.size(), 1u);
    EXPECT_EQ(Bus.PendingInput(id), 2u) << "nothing is read any more";
    ASSERT_NE(d->Reader(), nullptr) << "the ended reader stays until it is stopped";
    d->StartReader();
    EXPECT_TRUE(d->Reader()->Finished()) << "no second reader while the first is kept";

    Events.OnData = nullptr;
    d->SetDataHandler(nullptr);
    d->SetDataHandler(Events.DataEvent());
    ASSERT_TRUE(PumpUntil([&] { return Events.Deliveries.size() == 3; }));
    EXPECT_EQ(Events.Deliveries[2].ReportID, 3);
}

TEST_F(Reader, ErrorHandlerThatThrowsEndsTheReaderToo) {
    Events.OnError = [](THidDevice*) { throw std::runtime_error("error handler failed"); };
    Bus.SetFaults(id, {.ReadStartFails = true});
    Bus.Feed(id, {1, 1});
    ASSERT_TRUE(PumpUntil([&] { return d->Reader()->Finished(); }));
    Gui.RunFor(60ms);
    EXPECT_EQ(Events.Errors.size(), 1u);
}

// ---------------------------------------------------------------------------
// Stopping

TEST_F(Reader, StopRunsTheDeliveryTheReaderWaitsOn) {
    Bus.Feed(id, Report(5, 5));
    WaitUntilPosted();  // the reader now waits for the GUI thread, which nobody pumps
    d->SetDataHandler(nullptr);
    EXPECT_EQ(d->Reader(), nullptr);
    ASSERT_EQ(Events.Deliveries.size(), 1u);
    EXPECT_EQ(Events.Deliveries[0].ReportID, 5);
    Pump();  // the posted copy of that call does nothing now
    EXPECT_EQ(Events.Deliveries.size(), 1u);
}

TEST_F(Reader, DestroyingACheckedOutDeviceStopsItsReader) {
    Bus.Feed(id, Report(5, 5));
    WaitUntilPosted();
    delete d;
    EXPECT_EQ(Events.Deliveries.size(), 1u);
    EXPECT_EQ(Bus.OpenHandles(id), 0u);
    ASSERT_EQ(Controller->Devices().size(), 1u);
    EXPECT_EQ(Controller->Devices()[0]->Reader(), nullptr);
}

TEST_F(Reader, HandlerThatClearsItsOwnDataHandler) {
    Events.OnData = [](THidDevice* dev) { dev->SetDataHandler(nullptr); };
    Bus.Feed(id, Report(1, 1));
    ASSERT_TRUE(PumpUntil([&] { return !Events.Deliveries.empty(); }));
    EXPECT_EQ(d->Reader(), nullptr);
    Bus.Feed(id, Report(2, 2));
    Gui.RunFor(50ms);
    EXPECT_EQ(Events.Deliveries.size(), 1u);
}

TEST_F(Reader, HandlerThatDestroysItsOwnDevice) {
    Events.OnData = [](THidDevice* dev) { delete dev; };
    Bus.Feed(id, Report(1, 1));
    Bus.Feed(id, Report(2, 2));
    ASSERT_TRUE(PumpUntil([&] { return !Events.Deliveries.empty(); }));
    Gui.RunFor(50ms);
    EXPECT_EQ(Events.Deliveries.size(), 1u);
    ASSERT_EQ(Controller->Devices().size(), 1u);
    THidDevice* fresh = Controller->Devices()[0];
    EXPECT_FALSE(fresh->Claimed());
    EXPECT_EQ(fresh->Reader(), nullptr);
    EXPECT_EQ(Bus.OpenHandles(id), 0u);
    EXPECT_EQ(Bus.PendingInput(id), 1u);
}

TEST_F(Reader, ErrorHandlerThatDestroysItsOwnDevice) {
    Events.OnError = [](THidDevice* dev) { delete dev; };
    Bus.Unplug(id);
    ASSERT_TRUE(PumpUntil([&] { return !Events.Errors.empty() && Controller->Devices().empty(); }));
    Gui.RunFor(60ms);
    EXPECT_EQ(Events.Errors.size(), 1u);
}

TEST_F(Reader, UnplugAndDestructionInsideAModalLoopOfTheHandler) {
    bool destroyed = false;
    bool modalReturned = false;
    Events.OnUnplug = [&](THidDevice* dev) {
        delete dev;  // the application's check-in on unplug
        destroyed = true;
    };
    Events.OnData = [&](THidDevice*) {
        if (Events.Deliveries.size() != 1) return;
        Bus.Unplug(id);
        // A modal box: the loop turns, the re-scan sees the unplug, the
        // unplug handler destroys the device whose delivery this is.
        EXPECT_TRUE(Gui.RunUntil([&] { return destroyed; }));
        modalReturned = true;
    };
    Bus.Feed(id, Report(1, 1));
    ASSERT_TRUE(PumpUntil([&] { return modalReturned; }));
    Gui.RunFor(60ms);
    EXPECT_EQ(Events.Deliveries.size(), 1u);
    EXPECT_TRUE(Events.Errors.empty());
    EXPECT_EQ(Events.Log, (std::vector<std::string>{"unplug A", "change"}));
    EXPECT_TRUE(Controller->Devices().empty());
}

}  // namespace
}  // namespace lumidra::hid::testing
