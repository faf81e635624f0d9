#include "hid/GuiCallQueue.h"

#include <utility>

namespace lumidra::hid {

namespace {

class TOneOffCall final : public TGuiCall {
public:
    explicit TOneOffCall(std::function<void()> Call) : call_(std::move(Call)) {}
    void Run() override { call_(); }

private:
    std::function<void()> call_;
};

}  // namespace

TGuiCallQueue::~TGuiCallQueue() {
    bool more = true;
    while (more) {
        // Let go outside the lock: a call's owner may go with its last hold.
        std::shared_ptr<TGuiCall> call = Take(more);
        if (!call) break;
    }
}

bool TGuiCallQueue::Push(std::shared_ptr<TGuiCall> call) {
    if (!call) return false;
    std::lock_guard lock(mutex_);
    if (!call->queuedHold_) {
        TGuiCall* raw = call.get();
        raw->queuedHold_ = std::move(call);
        raw->next_ = nullptr;
        if (tail_)
            tail_->next_ = raw;
        else
            head_ = raw;
        tail_ = raw;
        ++size_;
    }
    if (wakeOwed_ || !head_) return false;
    wakeOwed_ = true;
    return true;
}

bool TGuiCallQueue::Push(std::function<void()> call) {
    return Push(std::make_shared<TOneOffCall>(std::move(call)));
}

std::shared_ptr<TGuiCall> TGuiCallQueue::Take(bool& More) {
    std::lock_guard lock(mutex_);
    More = false;
    TGuiCall* first = head_;
    if (!first) {
        wakeOwed_ = false;
        return nullptr;
    }
    head_ = first->next_;
    if (!head_) tail_ = nullptr;
    first->next_ = nullptr;
    --size_;
    More = head_ != nullptr;
    // The wake-up that brought the caller here is spent; the one it owes for
    // the rest is on its way as soon as it returns.
    wakeOwed_ = More;
    return std::move(first->queuedHold_);
}

std::size_t TGuiCallQueue::Size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

}  // namespace lumidra::hid
