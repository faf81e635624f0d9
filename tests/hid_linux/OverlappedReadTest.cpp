// Overlapped reads, alertable waits, cancelling and closing, on socket pairs
// standing in for device nodes: SOCK_SEQPACKET keeps report boundaries and
// truncates a report longer than the read, as hidraw does.
#include "hid/linux/LinuxHidPlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace lumidra::hid {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// What a completion routine saw; reached through the record's event slot.
struct Completion {
    int Calls = 0;
    std::uint32_t Error = 0xFFFFFFFF;
    std::uint32_t Count = 0xFFFFFFFF;
    THidOverlapped* Record = nullptr;
    std::thread::id Thread;
};

void Record(std::uint32_t error, std::uint32_t count, THidOverlapped* overlapped) {
    auto* c = static_cast<Completion*>(overlapped->hEvent);
    ++c->Calls;
    c->Error = error;
    c->Count = count;
    c->Record = overlapped;
    c->Thread = std::this_thread::get_id();
}

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

class OverlappedRead : public ::testing::Test {
protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);  // writes to a closed peer fail instead
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        node_ = fds[0];
        device_ = fds[1];
    }
    void TearDown() override {
        if (device_ >= 0) ::close(device_);
        // Reads belong to the thread, not to the test: none may outlive it.
        EXPECT_EQ(hidraw::ThreadReadCount(), 0u);
    }

    // The node end as a handle; the platform owns the descriptor from now on.
    THidHandle Adopt(THidOpenMode mode = THidOpenMode::OverlappedRead, bool numbered = false) {
        return platform_.AdoptDescriptor(node_, mode, numbered);
    }
    void Send(const Bytes& report) {
        ASSERT_EQ(::send(device_, report.data(), report.size(), 0), static_cast<ssize_t>(report.size()));
    }
    bool Start(THidHandle handle, std::uint8_t* buffer, std::uint32_t size, THidOverlapped& record,
               Completion& completion) {
        record.hEvent = &completion;
        return platform_.ReadFileEx(handle, buffer, size, record, &Record);
    }
    static Bytes BoardReport(std::uint8_t first) {
        Bytes report(64);
        for (std::size_t i = 0; i < report.size(); ++i) report[i] = static_cast<std::uint8_t>(first + i);
        return report;
    }

    LinuxHidPlatform platform_;
    int node_ = -1;
    int device_ = -1;
};

TEST_F(OverlappedRead, ReportWithoutIdArrivesBehindAZeroIdByte) {
    const THidHandle handle = Adopt();
    std::uint8_t buffer[65];
    std::memset(buffer, 0xEE, sizeof buffer);
    THidOverlapped record;
    Completion done;
    ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));

    std::uint32_t count = 77;
    EXPECT_FALSE(platform_.GetOverlappedResult(handle, record, count));
    EXPECT_EQ(platform_.GetLastError(), hidraw::ERROR_IO_INCOMPLETE_CODE);
    EXPECT_EQ(count, 77u);

    const Bytes report = BoardReport(0x40);
    Send(report);
    EXPECT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(done.Calls, 1);
    EXPECT_EQ(done.Error, ERROR_SUCCESS_CODE);
    EXPECT_EQ(done.Count, 65u);
    EXPECT_EQ(done.Record, &record);
    EXPECT_EQ(done.Thread, std::this_thread::get_id());
    Bytes expected(65, 0x00);
    std::copy(report.begin(), report.end(), expected.begin() + 1);
    EXPECT_EQ(Bytes(buffer, buffer + 65), expected);
    ASSERT_TRUE(platform_.GetOverlappedResult(handle, record, count));
    EXPECT_EQ(count, 65u);
    platform_.Close(handle);
}

TEST_F(OverlappedRead, NumberedReportKeepsItsOwnIdByte) {
    const THidHandle handle = Adopt(THidOpenMode::OverlappedRead, true);
    std::uint8_t buffer[20];
    std::memset(buffer, 0xEE, sizeof buffer);
    THidOverlapped record;
    Completion done;
    ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
    Send({0x02, 0x01, 0x10, 0x00, 0xF0, 0xFF, 0x01, 0x00});
    EXPECT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(done.Count, 8u);
    EXPECT_EQ(Bytes(buffer, buffer + 9), (Bytes{0x02, 0x01, 0x10, 0x00, 0xF0, 0xFF, 0x01, 0x00, 0xEE}));
    platform_.Close(handle);
}

TEST_F(OverlappedRead, ReportsArriveOneReadEachInOrderAndLongOnesAreCut) {
    const THidHandle handle = Adopt();
    Send(BoardReport(1));
    Send(BoardReport(2));
    Send(Bytes(80, 0x33));  // longer than the buffer: the rest is dropped
    for (std::uint8_t expectFirst : {1, 2}) {
        std::uint8_t buffer[65] = {};
        THidOverlapped record;
        Completion done;
        ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
        ASSERT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
        EXPECT_EQ(done.Count, 65u);
        EXPECT_EQ(buffer[1], expectFirst);
    }
    std::uint8_t buffer[65] = {};
    THidOverlapped record;
    Completion done;
    ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
    ASSERT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(done.Count, 65u);
    EXPECT_EQ(buffer[64], 0x33);
    platform_.Close(handle);
}

TEST_F(OverlappedRead, CompletionRunsOnlyOnTheThreadThatStartedTheRead) {
    const THidHandle handle = Adopt();
    std::uint8_t buffer[65] = {};
    THidOverlapped record;
    Completion done;
    std::promise<void> started, sleptElsewhere;
    std::uint32_t readerResult = 0;
    std::thread reader([&] {
        ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
        started.set_value();
        sleptElsewhere.get_future().wait();
        readerResult = platform_.SleepEx(5000);
    });
    started.get_future().wait();
    Send(BoardReport(9));
    // The data is there, but this thread has no read of its own to complete.
    EXPECT_EQ(platform_.SleepEx(30), HidWaitTimeout);
    EXPECT_EQ(done.Calls, 0);
    sleptElsewhere.set_value();
    reader.join();
    EXPECT_EQ(readerResult, HidWaitIoCompletion);
    EXPECT_EQ(done.Calls, 1);
    EXPECT_NE(done.Thread, std::this_thread::get_id());
    EXPECT_EQ(buffer[1], 9);
    platform_.Close(handle);
}

double ThreadCpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

TEST_F(OverlappedRead, SleepWithoutTrafficWaitsItsTimeWithoutSpinning) {
    const THidHandle handle = Adopt();
    std::uint8_t buffer[65] = {};
    THidOverlapped record;
    Completion done;
    ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));

    const double cpuBefore = ThreadCpuMs();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(platform_.SleepEx(200), HidWaitTimeout);
    const auto elapsed = std::chrono::steady_clock::now() - before;
    EXPECT_GE(elapsed, 200ms);
    EXPECT_LT(ThreadCpuMs() - cpuBefore, 50.0);  // a busy loop would burn ~200 ms
    EXPECT_EQ(done.Calls, 0);

    // And a thread without any read sleeps as well.
    const auto idleBefore = std::chrono::steady_clock::now();
    std::uint32_t idleResult = 1;
    std::thread([&] { idleResult = platform_.SleepEx(50); }).join();
    EXPECT_EQ(idleResult, HidWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - idleBefore, 50ms);

    ASSERT_TRUE(platform_.CancelIo(handle));
    EXPECT_EQ(platform_.SleepEx(0), HidWaitIoCompletion);
    platform_.Close(handle);
}

TEST_F(OverlappedRead, CloseFromAnotherThreadWakesTheWaiterAndAbortsTheRead) {
    const THidHandle handle = Adopt();
    const int spare = ::dup(node_);  // to reach the socket after the handle is gone
    std::uint8_t buffer[65];
    std::memset(buffer, 0xEE, sizeof buffer);
    THidOverlapped record;
    Completion done;
    std::promise<void> started;
    std::promise<std::uint32_t> result;
    std::thread reader([&] {
        ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
        started.set_value();
        result.set_value(platform_.SleepEx(60000));
    });
    started.get_future().wait();
    std::this_thread::sleep_for(20ms);  // let it block in its wait
    platform_.Close(handle);

    // Nothing but the close can end that wait early.
    auto outcome = result.get_future();
    const bool woken = outcome.wait_for(10s) == std::future_status::ready;
    EXPECT_TRUE(woken) << "Close did not wake the waiting thread";
    if (!woken) Send(BoardReport(5));  // free the reader anyway
    reader.join();

    EXPECT_EQ(outcome.get(), HidWaitIoCompletion);
    EXPECT_EQ(done.Calls, 1);
    EXPECT_EQ(done.Error, ERROR_OPERATION_ABORTED_CODE);
    EXPECT_EQ(done.Count, 0u);
    EXPECT_EQ(buffer[0], 0xEE);
    std::uint32_t count = 0;
    EXPECT_FALSE(platform_.GetOverlappedResult(handle, record, count));
    EXPECT_EQ(platform_.GetLastError(), ERROR_OPERATION_ABORTED_CODE);

    // The descriptor was released with its last user, the aborted read.
    EXPECT_FALSE(IsOpen(node_));
    ::close(spare);
}

TEST_F(OverlappedRead, ClosedHandleKeepsItsDescriptorUntilThePendingReadLetsGo) {
    const THidHandle handle = Adopt();
    const int spare = ::dup(node_);
    std::uint8_t buffer[65];
    std::memset(buffer, 0xEE, sizeof buffer);
    THidOverlapped record;
    Completion done;
    ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
    platform_.Close(handle);
    EXPECT_EQ(platform_.OpenHandleCount(), 0u);
    // Not yet closed: were it, the number could go to another open and the
    // pending read would then poll and read someone else's descriptor.
    EXPECT_TRUE(IsOpen(node_));
    Send(BoardReport(7));

    EXPECT_EQ(platform_.SleepEx(1000), HidWaitIoCompletion);
    EXPECT_EQ(done.Error, ERROR_OPERATION_ABORTED_CODE);  // closing wins over data
    EXPECT_EQ(buffer[1], 0xEE);
    EXPECT_FALSE(IsOpen(node_));
    std::uint8_t leftover[80];
    EXPECT_EQ(::recv(spare, leftover, sizeof leftover, MSG_DONTWAIT), 64);
    ::close(spare);

    // The handle is gone for good; new reads on it fail.
    EXPECT_FALSE(Start(handle, buffer, sizeof buffer, record, done));
    EXPECT_EQ(platform_.GetLastError(), ERROR_INVALID_HANDLE_CODE);
}

TEST_F(OverlappedRead, CancelIoAbortsNowAndRunsTheRoutineInTheNextWait) {
    const THidHandle handle = Adopt();
    std::uint8_t buffer[65];
    std::memset(buffer, 0xEE, sizeof buffer);
    THidOverlapped record;
    Completion done;
    ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
    ASSERT_TRUE(platform_.CancelIo(handle));

    std::uint32_t count = 5;
    EXPECT_FALSE(platform_.GetOverlappedResult(handle, record, count));
    EXPECT_EQ(platform_.GetLastError(), ERROR_OPERATION_ABORTED_CODE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(done.Calls, 0);

    EXPECT_EQ(platform_.SleepEx(10000), HidWaitIoCompletion);  // at once, not after 10 s
    EXPECT_EQ(done.Calls, 1);
    EXPECT_EQ(done.Error, ERROR_OPERATION_ABORTED_CODE);

    // The cancelled read takes nothing that arrives later.
    Send(BoardReport(3));
    EXPECT_EQ(platform_.SleepEx(20), HidWaitTimeout);
    EXPECT_EQ(done.Calls, 1);
    std::uint8_t leftover[80];
    EXPECT_EQ(::recv(node_, leftover, sizeof leftover, MSG_DONTWAIT), 64);
    EXPECT_EQ(buffer[0], 0xEE);
    platform_.Close(handle);
}

TEST_F(OverlappedRead, CancelIoTouchesOnlyTheCallingThreadsReadsOnThatHandle) {
    int pair2[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair2), 0);
    const THidHandle first = Adopt();
    const THidHandle second = platform_.AdoptDescriptor(pair2[0], THidOpenMode::OverlappedRead, false);
    std::uint8_t buffer1[65] = {}, buffer2[65] = {};
    THidOverlapped record1, record2;
    Completion done1, done2;
    ASSERT_TRUE(Start(first, buffer1, sizeof buffer1, record1, done1));
    ASSERT_TRUE(Start(second, buffer2, sizeof buffer2, record2, done2));

    // Another thread's CancelIo is about its own reads: it has none.
    bool otherResult = false;
    std::thread([&] { otherResult = platform_.CancelIo(first); }).join();
    EXPECT_TRUE(otherResult);
    std::uint32_t count = 0;
    EXPECT_FALSE(platform_.GetOverlappedResult(first, record1, count));
    EXPECT_EQ(platform_.GetLastError(), hidraw::ERROR_IO_INCOMPLETE_CODE);

    ASSERT_TRUE(platform_.CancelIo(second));
    EXPECT_EQ(platform_.SleepEx(1000), HidWaitIoCompletion);
    EXPECT_EQ(done2.Error, ERROR_OPERATION_ABORTED_CODE);
    EXPECT_EQ(done1.Calls, 0);

    Send(BoardReport(11));
    EXPECT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(done1.Error, ERROR_SUCCESS_CODE);
    EXPECT_EQ(buffer1[1], 11);

    EXPECT_FALSE(platform_.CancelIo(0x7FFFFFFF));
    EXPECT_EQ(platform_.GetLastError(), ERROR_INVALID_HANDLE_CODE);
    platform_.Close(first);
    platform_.Close(second);
    ::close(pair2[1]);
}

TEST_F(OverlappedRead, HangUpCompletesWithAnErrorAndNothingTransferred) {
    const THidHandle handle = Adopt();
    std::uint8_t buffer[65];
    std::memset(buffer, 0xEE, sizeof buffer);
    THidOverlapped record;
    Completion done;
    ASSERT_TRUE(Start(handle, buffer, sizeof buffer, record, done));
    ::close(device_);
    device_ = -1;
    EXPECT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(done.Error, ERROR_DEVICE_NOT_CONNECTED_CODE);
    EXPECT_EQ(done.Count, 0u);
    std::uint32_t count = 9;
    EXPECT_FALSE(platform_.GetOverlappedResult(handle, record, count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(platform_.GetLastError(), ERROR_DEVICE_NOT_CONNECTED_CODE);
    EXPECT_EQ(buffer[0], 0xEE);
    // A hung-up node would complete every later read at once: the next read
    // is refused instead, so a reader pauses between tries rather than spinning.
    Completion again;
    EXPECT_FALSE(Start(handle, buffer, sizeof buffer, record, again));
    EXPECT_EQ(platform_.GetLastError(), ERROR_DEVICE_NOT_CONNECTED_CODE);
    platform_.Close(handle);
}

// A reader that starts its next read from inside the completion routine.
struct Chain {
    LinuxHidPlatform* Platform = nullptr;
    THidHandle Handle = InvalidHidHandle;
    std::uint8_t Buffer[65] = {};
    THidOverlapped Record;
    std::vector<std::uint8_t> Firsts;
    bool Restarted = false;
    bool Stop = false;

    static void Completed(std::uint32_t, std::uint32_t, THidOverlapped* overlapped) {
        auto* chain = static_cast<Chain*>(overlapped->hEvent);
        if (chain->Stop) return;
        chain->Firsts.push_back(chain->Buffer[1]);
        chain->Restarted =
            chain->Platform->ReadFileEx(chain->Handle, chain->Buffer, sizeof chain->Buffer, chain->Record, &Completed);
    }
};

TEST_F(OverlappedRead, RoutineMayStartTheNextRead) {
    Chain chain;
    chain.Platform = &platform_;
    chain.Handle = Adopt();
    chain.Record.hEvent = &chain;
    ASSERT_TRUE(platform_.ReadFileEx(chain.Handle, chain.Buffer, sizeof chain.Buffer, chain.Record, &Chain::Completed));
    Send(BoardReport(21));
    Send(BoardReport(22));
    // One completion per wait, each routine run re-arming the read.
    EXPECT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(chain.Firsts, (std::vector<std::uint8_t>{21}));
    EXPECT_TRUE(chain.Restarted);
    EXPECT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(chain.Firsts, (std::vector<std::uint8_t>{21, 22}));
    EXPECT_EQ(hidraw::ThreadReadCount(), 1u);
    chain.Stop = true;
    ASSERT_TRUE(platform_.CancelIo(chain.Handle));
    EXPECT_EQ(platform_.SleepEx(0), HidWaitIoCompletion);
    platform_.Close(chain.Handle);
}

TEST_F(OverlappedRead, ReadsOfAThreadThatEndedAreDroppedUnrun) {
    const THidHandle handle = Adopt();
    auto buffer = std::make_unique<std::uint8_t[]>(65);
    THidOverlapped record;
    Completion done;
    std::thread([&] { ASSERT_TRUE(Start(handle, buffer.get(), 65, record, done)); }).join();
    buffer.reset();  // as a reader thread's buffer is released after its end

    Send(BoardReport(1));
    EXPECT_EQ(platform_.SleepEx(20), HidWaitTimeout);
    EXPECT_EQ(done.Calls, 0);
    // The report is still there for the next read.
    std::uint8_t mine[65] = {};
    Completion next;
    ASSERT_TRUE(Start(handle, mine, sizeof mine, record, next));
    EXPECT_EQ(platform_.SleepEx(5000), HidWaitIoCompletion);
    EXPECT_EQ(mine[1], 1);
    platform_.Close(handle);  // and closing wakes nobody who has gone
}

TEST_F(OverlappedRead, ReadsNeedAnOverlappedReadHandleAndRoomForAReport) {
    THidOverlapped record;
    Completion done;
    std::uint8_t buffer[65] = {};
    EXPECT_FALSE(Start(0x7FFFFFFF, buffer, sizeof buffer, record, done));
    EXPECT_EQ(platform_.GetLastError(), ERROR_INVALID_HANDLE_CODE);

    const THidHandle synchronous = Adopt(THidOpenMode::ReadWrite);
    EXPECT_FALSE(Start(synchronous, buffer, sizeof buffer, record, done));
    EXPECT_EQ(platform_.GetLastError(), hidraw::ERROR_INVALID_PARAMETER_CODE);
    platform_.Close(synchronous);

    int pair2[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair2), 0);
    const THidHandle reading = platform_.AdoptDescriptor(pair2[0], THidOpenMode::OverlappedRead, false);
    EXPECT_FALSE(Start(reading, buffer, 1, record, done));
    EXPECT_EQ(platform_.GetLastError(), hidraw::ERROR_INVALID_PARAMETER_CODE);
    EXPECT_EQ(hidraw::ThreadReadCount(), 0u);
    platform_.Close(reading);
    ::close(pair2[1]);
}

TEST_F(OverlappedRead, WriteSendsTheBytesAsGiven) {
    const THidHandle handle = Adopt(THidOpenMode::ReadWrite);
    Bytes report(65);
    report[0] = 0x00;  // report ID
    for (std::size_t i = 1; i < report.size(); ++i) report[i] = static_cast<std::uint8_t>(0xA0 + i);
    std::uint32_t written = 0;
    ASSERT_TRUE(platform_.WriteFile(handle, report.data(), 65, written));
    EXPECT_EQ(written, 65u);
    std::uint8_t received[100];
    ASSERT_EQ(::recv(device_, received, sizeof received, MSG_DONTWAIT), 65);
    EXPECT_EQ(Bytes(received, received + 65), report);

    const THidHandle readOnly = platform_.AdoptDescriptor(::dup(device_), THidOpenMode::OverlappedRead, false);
    EXPECT_FALSE(platform_.WriteFile(readOnly, report.data(), 65, written));
    EXPECT_EQ(platform_.GetLastError(), ERROR_ACCESS_DENIED_CODE);
    platform_.Close(readOnly);

    ::close(device_);
    device_ = -1;
    EXPECT_FALSE(platform_.WriteFile(handle, report.data(), 65, written));
    EXPECT_EQ(platform_.GetLastError(), ERROR_DEVICE_NOT_CONNECTED_CODE);
    EXPECT_EQ(written, 0u);
    platform_.Close(handle);
    EXPECT_FALSE(platform_.WriteFile(handle, report.data(), 65, written));
    EXPECT_EQ(platform_.GetLastError(), ERROR_INVALID_HANDLE_CODE);
}

TEST_F(OverlappedRead, HandleNumbersAreNeverReused) {
    // Each round frees the descriptor number the next round gets again.
    ::close(node_);
    std::vector<THidHandle> seen;
    for (int i = 0; i < 3; ++i) {
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
        const THidHandle h = platform_.AdoptDescriptor(pair[0], THidOpenMode::OverlappedRead, false);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), h), 0);
        seen.push_back(h);
        platform_.Close(h);
        ::close(pair[1]);
    }
}

}  // namespace
}  // namespace lumidra::hid
