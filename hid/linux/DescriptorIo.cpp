#include "hid/linux/DescriptorIo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <list>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace lumidra::hid::hidraw {

namespace {

thread_local std::uint32_t lastError = ERROR_SUCCESS_CODE;

std::atomic<THidHandle> nextHandle{0x1000};

}  // namespace

void SetLastError(std::uint32_t error) {
    lastError = error;
}
std::uint32_t LastError() {
    return lastError;
}

std::uint32_t ErrorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS: return ERROR_ACCESS_DENIED_CODE;
        case ENOENT:
        case ENOTDIR: return ERROR_FILE_NOT_FOUND_CODE;
        case ENODEV:
        case ENXIO:
        case EIO:
        case ESHUTDOWN:
        case EPIPE:
        case ECONNRESET: return ERROR_DEVICE_NOT_CONNECTED_CODE;
        case EBADF: return ERROR_INVALID_HANDLE_CODE;
        case ENOTTY:
        case EOPNOTSUPP: return ERROR_NOT_SUPPORTED_CODE;
        case EINVAL:
        case EFAULT: return ERROR_INVALID_PARAMETER_CODE;
        default: return ERROR_GEN_FAILURE_CODE;
    }
}

// ---------------------------------------------------------------------------
// Per-thread wake-up descriptor.

class TWaker {
public:
    TWaker() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~TWaker() {
        if (fd_ >= 0) ::close(fd_);
    }
    TWaker(const TWaker&) = delete;
    TWaker& operator=(const TWaker&) = delete;

    int Fd() const { return fd_; }
    void Wake() {
        const std::uint64_t one = 1;
        // A full counter already means "wake up"; nothing else can fail here.
        [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
    }
    void Drain() {
        std::uint64_t value;
        [[maybe_unused]] const ssize_t n = ::read(fd_, &value, sizeof value);
    }

private:
    const int fd_;
};

// ---------------------------------------------------------------------------

TOpenFile::TOpenFile(int fd, THidOpenMode mode, std::string sysPath, bool numberedReports)
    : fd_(fd), mode_(mode), sysPath_(std::move(sysPath)), numberedReports_(numberedReports) {}

TOpenFile::~TOpenFile() {
    if (fd_ >= 0) ::close(fd_);
}

void TOpenFile::MarkClosed() {
    std::vector<std::shared_ptr<TWaker>> waiters;
    {
        std::lock_guard lock(mutex_);
        closed_.store(true, std::memory_order_release);
        waiters = waiters_;
    }
    for (const auto& waker : waiters) waker->Wake();
}

bool TOpenFile::AddWaiter(const std::shared_ptr<TWaker>& waker) {
    std::lock_guard lock(mutex_);
    if (closed_.load(std::memory_order_relaxed)) return false;
    waiters_.push_back(waker);
    return true;
}

void TOpenFile::RemoveWaiter(const TWaker* waker) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(waiters_.begin(), waiters_.end(), [&](const auto& w) { return w.get() == waker; });
    if (it != waiters_.end()) waiters_.erase(it);
}

// ---------------------------------------------------------------------------

THidHandle THandleTable::Add(std::shared_ptr<TOpenFile> file) {
    const THidHandle handle = nextHandle.fetch_add(1);
    std::lock_guard lock(mutex_);
    files_.emplace(handle, std::move(file));
    return handle;
}

std::shared_ptr<TOpenFile> THandleTable::Find(THidHandle handle) const {
    std::lock_guard lock(mutex_);
    auto it = files_.find(handle);
    return it == files_.end() ? nullptr : it->second;
}

bool THandleTable::Close(THidHandle handle) {
    std::shared_ptr<TOpenFile> file;
    {
        std::lock_guard lock(mutex_);
        auto it = files_.find(handle);
        if (it == files_.end()) return false;
        file = std::move(it->second);
        files_.erase(it);
    }
    file->MarkClosed();
    return true;
}

void THandleTable::CloseAll() {
    std::map<THidHandle, std::shared_ptr<TOpenFile>> files;
    {
        std::lock_guard lock(mutex_);
        files.swap(files_);
    }
    for (auto& [handle, file] : files) file->MarkClosed();
}

std::size_t THandleTable::Size() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

// ---------------------------------------------------------------------------
// Reads of one thread.

namespace {

struct TPendingRead {
    THidHandle Handle = InvalidHidHandle;
    std::shared_ptr<TOpenFile> File;
    std::uint8_t* Buffer = nullptr;
    std::uint32_t Count = 0;
    THidOverlapped* Overlapped = nullptr;
    THidReadCompletion Routine = nullptr;
    bool Done = false;
};

class TThreadReads {
public:
    ~TThreadReads() {
        // The thread ends: its reads die with it, unannounced.
        for (auto& read : reads_) read.File->RemoveWaiter(waker_.get());
    }

    const std::shared_ptr<TWaker>& Waker() {
        if (!waker_) waker_ = std::make_shared<TWaker>();
        return waker_;
    }
    std::list<TPendingRead>& Reads() { return reads_; }

    // Lists a new read. Its record comes from those of finished reads when
    // there is one: a reader starts one read per report, and allocating a
    // list node for each would cost a heap round trip per report.
    void Add(TPendingRead read) {
        if (spare_.empty()) {
            reads_.push_back(std::move(read));
        } else {
            reads_.splice(reads_.end(), spare_, spare_.begin());
            reads_.back() = std::move(read);
        }
    }

    void Complete(TPendingRead& read, std::uint32_t error, std::uint32_t transferred) {
        read.Done = true;
        read.Overlapped->Internal = error;
        read.Overlapped->InternalHigh = transferred;
        read.File->RemoveWaiter(waker_.get());
    }

    // Runs the routines of the completed reads, each after its read left the
    // list (a routine may start the next read); whether any ran.
    bool RunCompleted() {
        std::list<TPendingRead> done;
        for (auto it = reads_.begin(); it != reads_.end();) {
            auto next = std::next(it);
            if (it->Done) done.splice(done.end(), reads_, it);
            it = next;
        }
        if (done.empty()) return false;
        for (auto& read : done) {
            const auto error = static_cast<std::uint32_t>(read.Overlapped->Internal);
            const auto transferred = static_cast<std::uint32_t>(read.Overlapped->InternalHigh);
            read.File.reset();  // the last user of a closed handle closes its descriptor here
            if (read.Routine) read.Routine(error, transferred, read.Overlapped);
        }
        // Kept for the next reads; a routine that started one took its
        // record from those kept before.
        spare_.splice(spare_.end(), done);
        return true;
    }

    // The poll set of the thread's waits, kept between waits for the same reason.
    std::vector<pollfd> PollFds;
    std::vector<TPendingRead*> Polled;

private:
    std::shared_ptr<TWaker> waker_;
    std::list<TPendingRead> reads_;
    std::list<TPendingRead> spare_;  // records of finished reads, for reuse
};

thread_local TThreadReads threadReads;

// Completes `read` with `error` and refuses further reads of its file: a
// descriptor whose device has gone completes every read at once, and a
// reader that went on reading it would spin.
void HangUp(TThreadReads& reads, TPendingRead& read, std::uint32_t error) {
    read.File->MarkHungUp();
    reads.Complete(read, error, 0);
}

// Reads what the descriptor has for `read`; false when the read is still pending.
bool TryRead(TThreadReads& reads, TPendingRead& read, short revents) {
    const int fd = read.File->Fd();
    // hidraw returns the report-ID byte only for numbered reports; the layer
    // always wants it first, 0 for a device without numbered reports.
    const bool prefixId = !read.File->NumberedReports();
    std::uint8_t* target = prefixId ? read.Buffer + 1 : read.Buffer;
    const std::size_t room = prefixId ? read.Count - 1 : read.Count;
    for (;;) {
        const ssize_t n = ::read(fd, target, room);
        if (n > 0) {
            if (prefixId) read.Buffer[0] = 0;
            reads.Complete(read, ERROR_SUCCESS_CODE, static_cast<std::uint32_t>(n) + (prefixId ? 1 : 0));
            return true;
        }
        if (n == 0) {  // end of file: the other side has gone
            HangUp(reads, read, ERROR_DEVICE_NOT_CONNECTED_CODE);
            return true;
        }
        if (errno == EINTR) continue;
        if (WouldBlock(errno)) {
            // Another read took the report. Stay pending, unless the
            // descriptor reports a hang-up, which would wake every poll.
            if (revents & (POLLERR | POLLHUP)) {
                HangUp(reads, read, ERROR_DEVICE_NOT_CONNECTED_CODE);
                return true;
            }
            return false;
        }
        const std::uint32_t error = ErrorFromErrno(errno);
        if (error == ERROR_DEVICE_NOT_CONNECTED_CODE) {
            HangUp(reads, read, error);
        } else {
            reads.Complete(read, error, 0);
        }
        return true;
    }
}

// Completes the reads whose handle was closed; closing wins over data.
void AbortClosed(TThreadReads& reads) {
    for (auto& read : reads.Reads())
        if (!read.Done && read.File->Closed()) reads.Complete(read, ERROR_OPERATION_ABORTED_CODE, 0);
}

}  // namespace

bool StartRead(THidHandle handle, std::shared_ptr<TOpenFile> file, void* buffer, std::uint32_t count,
               THidOverlapped& overlapped, THidReadCompletion routine) {
    if (!file || file->Fd() < 0 || file->Mode() != THidOpenMode::OverlappedRead) {
        SetLastError(file ? ERROR_INVALID_PARAMETER_CODE : ERROR_INVALID_HANDLE_CODE);
        return false;
    }
    if (buffer == nullptr || count < 2) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return false;
    }
    if (file->HungUp()) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED_CODE);
        return false;
    }
    auto& reads = threadReads;
    const auto& waker = reads.Waker();
    if (waker->Fd() < 0) {
        SetLastError(ERROR_GEN_FAILURE_CODE);
        return false;
    }
    // Registered under the file's lock: a Close from now on wakes this
    // thread, and a Close that came first makes the read fail here.
    if (!file->AddWaiter(waker)) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return false;
    }
    overlapped.Internal = StatusPending;
    overlapped.InternalHigh = 0;
    TPendingRead read;
    read.Handle = handle;
    read.File = std::move(file);
    read.Buffer = static_cast<std::uint8_t*>(buffer);
    read.Count = count;
    read.Overlapped = &overlapped;
    read.Routine = routine;
    reads.Add(std::move(read));
    return true;
}

// One poll over every pending read of the thread, its timeout, its wake-ups
// and each read's completion routine: the steps share the pending list and
// the deadline, and each is a few lines where it is used.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
std::uint32_t AlertableWait(std::uint32_t milliseconds) {
    using Clock = std::chrono::steady_clock;
    constexpr std::uint32_t Infinite = 0xFFFFFFFF;
    auto& reads = threadReads;
    const auto& waker = reads.Waker();
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);

    // A report already queued is taken without a poll first: a reader that
    // keeps up with a busy device finds one there on most waits, and the
    // descriptors are non-blocking, so an empty queue costs one failed read.
    AbortClosed(reads);
    for (auto& read : reads.Reads())
        if (!read.Done) TryRead(reads, read, 0);
    if (reads.RunCompleted()) return HidWaitIoCompletion;

    auto& fds = reads.PollFds;
    auto& polled = reads.Polled;
    for (;;) {
        AbortClosed(reads);
        if (reads.RunCompleted()) return HidWaitIoCompletion;

        int timeout = -1;
        if (milliseconds != Infinite) {
            const auto left = deadline - Clock::now();
            // Round up: waking a fraction of a millisecond early would spin.
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            timeout = ms > 0 ? static_cast<int>(std::min<long long>(ms, 0x7FFFFFFF)) : 0;
        }

        fds.clear();
        polled.clear();
        fds.push_back({waker->Fd(), POLLIN, 0});
        for (auto& read : reads.Reads()) {
            if (read.Done) continue;
            fds.push_back({read.File->Fd(), POLLIN, 0});
            polled.push_back(&read);
        }
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            SetLastError(ErrorFromErrno(errno));
            return HidWaitTimeout;
        }
        if (ready > 0) {
            if (fds[0].revents & POLLIN) waker->Drain();
            AbortClosed(reads);
            for (std::size_t i = 0; i < polled.size(); ++i) {
                TPendingRead& read = *polled[i];
                const short revents = fds[i + 1].revents;
                if (read.Done || revents == 0) continue;
                if (revents & POLLNVAL)
                    reads.Complete(read, ERROR_INVALID_HANDLE_CODE, 0);
                else
                    TryRead(reads, read, revents);
            }
            if (reads.RunCompleted()) return HidWaitIoCompletion;
        }
        if (timeout == 0) return HidWaitTimeout;
    }
}

bool OverlappedResult(const THidOverlapped& overlapped, std::uint32_t& transferred) {
    if (overlapped.Internal == StatusPending) {
        SetLastError(ERROR_IO_INCOMPLETE_CODE);
        return false;
    }
    transferred = static_cast<std::uint32_t>(overlapped.InternalHigh);
    if (overlapped.Internal != ERROR_SUCCESS_CODE) {
        SetLastError(static_cast<std::uint32_t>(overlapped.Internal));
        return false;
    }
    return true;
}

std::size_t CancelThreadReads(THidHandle handle) {
    auto& reads = threadReads;
    std::size_t cancelled = 0;
    for (auto& read : reads.Reads()) {
        if (read.Done || read.Handle != handle) continue;
        reads.Complete(read, ERROR_OPERATION_ABORTED_CODE, 0);
        ++cancelled;
    }
    return cancelled;
}

std::size_t ThreadReadCount() {
    return threadReads.Reads().size();
}

}  // namespace lumidra::hid::hidraw
