#include "hid/CustomThread.h"

#include "hid/GuiThread.h"
#include "hid/SystemCalls.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace lumidra::hid {

// The state a thread shares with the GUI thread. A body has at most one
// synchronised call in hand at a time; `Serial` tells a stale request (one
// that WaitFor() already ran) from the current one. It is itself the call the
// body posts: posting it again and again allocates nothing, and the GUI
// thread's hold on it while it waits keeps it alive past the thread object.
struct TCustomThread::TShared final : TGuiCall {
    enum class TCallState { None, Queued, Running, Done };

    std::mutex Mutex;
    std::condition_variable Changed;
    bool Finished = false;
    std::exception_ptr Fatal;

    TCallState State = TCallState::None;
    std::uint64_t Serial = 0;
    std::function<void()> Call;
    std::exception_ptr CallError;
    // A thread released while its call was running; joined once the call returns.
    std::unique_ptr<TCustomThread> ReleaseAfter;

    // Its turn on the GUI thread: runs the call in hand, if one still waits
    // (WaitFor() may have run it meanwhile, and the body posted the next).
    void Run() override {
        std::uint64_t serial = 0;
        {
            std::lock_guard lock(Mutex);
            serial = Serial;
        }
        RunCall(*this, serial);
    }
};

TCustomThread::TCustomThread(TGuiThread& Gui) : gui_(Gui), shared_(std::make_shared<TShared>()) {}

TCustomThread::~TCustomThread() {
    if (thread_.joinable()) {
        Terminate();
        WaitFor();
    }
}

void TCustomThread::Start() {
    if (thread_.joinable()) return;
    thread_ = std::thread(&TCustomThread::Run, this);
}

void TCustomThread::Run() {
    std::exception_ptr fatal;
    try {
        Execute();
    } catch (...) {
        fatal = std::current_exception();
    }
    {
        std::lock_guard lock(shared_->Mutex);
        shared_->Fatal = std::move(fatal);
        shared_->Finished = true;
    }
    shared_->Changed.notify_all();
}

bool TCustomThread::Finished() const {
    std::lock_guard lock(shared_->Mutex);
    return shared_->Finished;
}

std::exception_ptr TCustomThread::FatalException() const {
    std::lock_guard lock(shared_->Mutex);
    return shared_->Fatal;
}

bool TCustomThread::SynchronizeRunning() const {
    std::lock_guard lock(shared_->Mutex);
    return shared_->State == TShared::TCallState::Running;
}

void TCustomThread::Synchronize(std::function<void()> Call) {
    if (gui_.IsGuiThread()) {
        Call();
        return;
    }
    {
        std::lock_guard lock(shared_->Mutex);
        shared_->Call = std::move(Call);
        shared_->CallError = nullptr;
        shared_->State = TShared::TCallState::Queued;
        ++shared_->Serial;
    }
    // A WaitFor() on the GUI thread may be waiting for exactly this.
    shared_->Changed.notify_all();
    gui_.PostCall(shared_);

    std::exception_ptr error;
    {
        std::unique_lock lock(shared_->Mutex);
        shared_->Changed.wait(lock, [&] { return shared_->State == TShared::TCallState::Done; });
        shared_->State = TShared::TCallState::None;
        error = std::move(shared_->CallError);
    }
    if (error) std::rethrow_exception(error);
}

// On the GUI thread: from the posted call, or from WaitFor(), whichever comes
// first; the other finds the call no longer queued and does nothing.
void TCustomThread::RunCall(TShared& Shared, std::uint64_t Serial) {
    std::function<void()> call;
    {
        std::lock_guard lock(Shared.Mutex);
        if (Shared.State != TShared::TCallState::Queued || Shared.Serial != Serial) return;
        Shared.State = TShared::TCallState::Running;
        call = std::move(Shared.Call);
    }
    std::exception_ptr error;
    try {
        call();
    } catch (...) {
        error = std::current_exception();
    }
    call = nullptr;
    std::unique_ptr<TCustomThread> release;
    {
        std::lock_guard lock(Shared.Mutex);
        Shared.CallError = std::move(error);
        Shared.State = TShared::TCallState::Done;
        release = std::move(Shared.ReleaseAfter);
    }
    Shared.Changed.notify_all();
    // Released while this call ran: the thread was asked to terminate and ends
    // without waiting for the GUI thread again.
    if (release) release->WaitFor();
}

void TCustomThread::WaitFor() {
    if (!thread_.joinable()) return;
    if (gui_.IsGuiThread()) {
        std::unique_lock lock(shared_->Mutex);
        while (!shared_->Finished) {
            if (shared_->State == TShared::TCallState::Queued) {
                const auto serial = shared_->Serial;
                lock.unlock();
                RunCall(*shared_, serial);
                lock.lock();
                continue;
            }
            shared_->Changed.wait(lock);
        }
    }
    thread_.join();
}

void TCustomThread::ReleaseAfterSynchronize(std::unique_ptr<TCustomThread> Thread) {
    if (!Thread) return;
    Thread->Terminate();
    if (Thread->gui_.IsGuiThread()) {
        auto shared = Thread->shared_;
        std::lock_guard lock(shared->Mutex);
        if (shared->State == TShared::TCallState::Running) {
            shared->ReleaseAfter = std::move(Thread);
            return;
        }
    }
    Thread->WaitFor();
}

void TCustomThread::NameThread() {
    NameCurrentThread(ThreadName.empty() ? std::string(ClassName()) : ThreadName);
}

}  // namespace lumidra::hid
