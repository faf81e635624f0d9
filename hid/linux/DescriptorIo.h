// Handles over file descriptors, and Windows-style overlapped reads on them.
//
// The device layer was designed around handles that are never reused, reads
// whose completion routine runs on the thread that started them during that
// thread's alertable wait, and a wait that cancelling or closing ends. Here:
//
// - A handle is a number in a table; the number is never given out again.
//   The descriptor lives in a shared object that every user (the table, a
//   pending read, an operation in progress) holds a reference to; it is
//   closed when the last one lets go. Closing a handle only takes it out of
//   the table, so a descriptor number the kernel hands to a later open is
//   never read or written through a stale handle.
// - A read is registered in a list of the calling thread. The thread's
//   alertable wait first takes what its reads' (non-blocking) descriptors
//   already hold, then polls them plus a per-thread eventfd that Close pokes
//   when it closes a handle one of the thread's reads is waiting on. A
//   readable descriptor is read into the caller's buffer, the overlapped
//   record gets the status and count, and the completion routine runs on
//   that thread before the wait returns.
// - Cancelling (CancelIo, the calling thread's reads only) or closing
//   completes a read with ERROR_OPERATION_ABORTED at once; as on Windows its
//   completion routine still runs, during the thread's next alertable wait,
//   which then returns HidWaitIoCompletion without blocking. Reads still
//   listed when their thread ends are dropped without running anything, so a
//   buffer released after the thread's end is never written.
#pragma once

#include "hid/HidPlatform.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumidra::hid::hidraw {

// Whether an error only says "not now": the two names are one value on Linux.
inline bool WouldBlock(int error) {
#if EAGAIN == EWOULDBLOCK
    return error == EAGAIN;
#else
    return error == EAGAIN || error == EWOULDBLOCK;
#endif
}

// Windows error codes this platform sets beyond those the layer compares with.
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER_CODE = 87;
inline constexpr std::uint32_t ERROR_IO_INCOMPLETE_CODE = 996;
// What a pending read's record holds in `Internal` until it completes.
inline constexpr std::uintptr_t StatusPending = 0x103;

// The calling thread's last error.
void SetLastError(std::uint32_t error);
std::uint32_t LastError();

// A Windows error code for an errno value.
std::uint32_t ErrorFromErrno(int error);

class TWaker;

// One open handle: its descriptor (-1 for a query-only handle) and what the
// platform needs to know about the node behind it.
class TOpenFile {
public:
    TOpenFile(int fd, THidOpenMode mode, std::string sysPath, bool numberedReports);
    ~TOpenFile();  // closes the descriptor
    TOpenFile(const TOpenFile&) = delete;
    TOpenFile& operator=(const TOpenFile&) = delete;

    int Fd() const { return fd_; }
    THidOpenMode Mode() const { return mode_; }
    // Canonical sysfs folder of the hidraw node; empty when unknown.
    const std::string& SysPath() const { return sysPath_; }
    // Whether the device's reports carry a report-ID byte.
    bool NumberedReports() const { return numberedReports_; }

    bool Closed() const { return closed_.load(std::memory_order_acquire); }
    // Set once a read found the other side gone (end of file, hang-up, or a
    // "device gone" error). A hung-up descriptor completes every read at
    // once, so reads are refused from then on, as on a removed device.
    bool HungUp() const { return hungUp_.load(std::memory_order_acquire); }
    void MarkHungUp() { hungUp_.store(true, std::memory_order_release); }
    // Marks the handle closed and wakes every thread with a read waiting on it.
    void MarkClosed();
    // Registers a waiting thread; false when the handle is closed already.
    bool AddWaiter(const std::shared_ptr<TWaker>& waker);
    void RemoveWaiter(const TWaker* waker);

private:
    const int fd_;
    const THidOpenMode mode_;
    const std::string sysPath_;
    const bool numberedReports_;
    std::atomic<bool> closed_{false};
    std::atomic<bool> hungUp_{false};
    std::mutex mutex_;
    std::vector<std::shared_ptr<TWaker>> waiters_;
};

// Handle numbers -> open files. Numbers come from one process-wide counter,
// so they are unique across tables too.
class THandleTable {
public:
    THidHandle Add(std::shared_ptr<TOpenFile> file);
    std::shared_ptr<TOpenFile> Find(THidHandle handle) const;
    // Takes the handle out of the table and marks it closed; false when unknown.
    bool Close(THidHandle handle);
    void CloseAll();
    std::size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::map<THidHandle, std::shared_ptr<TOpenFile>> files_;
};

// Registers a read on `file` for the calling thread. `count` must leave room
// for the report-ID byte and at least one data byte.
bool StartRead(THidHandle handle, std::shared_ptr<TOpenFile> file, void* buffer, std::uint32_t count,
               THidOverlapped& overlapped, THidReadCompletion routine);
// The calling thread's alertable wait; 0xFFFFFFFF waits without limit.
std::uint32_t AlertableWait(std::uint32_t milliseconds);
// The outcome of a read, without waiting; false while pending (last error
// ERROR_IO_INCOMPLETE) or when the read failed (last error its status).
bool OverlappedResult(const THidOverlapped& overlapped, std::uint32_t& transferred);
// Cancels the calling thread's pending reads on `handle`; how many there were.
std::size_t CancelThreadReads(THidHandle handle);
// Reads of the calling thread whose completion routine has not run yet.
std::size_t ThreadReadCount();

}  // namespace lumidra::hid::hidraw
