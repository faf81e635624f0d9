#include "app/session/QtGuiThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <array>
#include <cstddef>
#include <mutex>
#include <new>

namespace lumidra::app {

namespace {

// "Run the next posted call". Qt deletes a posted event once delivered (or
// when its receiver goes); its storage comes from a reserve of a few slots,
// so the delete hands the slot back instead of freeing it. At most two are
// out at a time: the one being handled and the one it posted for the calls
// behind it. Should the reserve run dry, the heap serves.
class TRunNextEvent final : public QEvent {
public:
    TRunNextEvent() : QEvent(Kind()) {}

    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }

    static void* operator new(std::size_t size) {
        if (size <= SlotSize) {
            std::lock_guard lock(ReserveMutex);
            for (std::size_t i = 0; i < SlotCount; ++i) {
                if (!SlotUsed[i]) {
                    SlotUsed[i] = true;
                    return &Slots[i];
                }
            }
        }
        return ::operator new(size);
    }

    static void operator delete(void* p) {
        for (std::size_t i = 0; i < SlotCount; ++i) {
            if (p == &Slots[i]) {
                std::lock_guard lock(ReserveMutex);
                SlotUsed[i] = false;
                return;
            }
        }
        ::operator delete(p);
    }

private:
    static constexpr std::size_t SlotCount = 4;
    static constexpr std::size_t SlotSize = 64;
    struct alignas(std::max_align_t) TSlot {
        std::byte Bytes[SlotSize];
    };
    static inline std::mutex ReserveMutex;
    static inline std::array<TSlot, SlotCount> Slots{};
    static inline std::array<bool, SlotCount> SlotUsed{};
};

}  // namespace

class QtGuiThread::TReceiver final : public QObject {
public:
    explicit TReceiver(QtGuiThread& owner) : owner_(owner) {}

    bool event(QEvent* e) override {
        if (e->type() != TRunNextEvent::Kind()) return QObject::event(e);
        owner_.RunNext();
        return true;
    }

private:
    QtGuiThread& owner_;
};

QtGuiThread::QtGuiThread() : receiver_(std::make_unique<TReceiver>(*this)) {}

QtGuiThread::~QtGuiThread() = default;

void QtGuiThread::Post(std::function<void()> call) {
    if (queue_.Push(std::move(call))) Wake();
}

void QtGuiThread::PostCall(std::shared_ptr<hid::TGuiCall> call) {
    if (queue_.Push(std::move(call))) Wake();
}

void QtGuiThread::Wake() {
    static_assert(sizeof(TRunNextEvent) <= 64, "the event outgrew its reserve slot");
    QCoreApplication::postEvent(receiver_.get(), new TRunNextEvent);
}

// One call per event: the next event is posted before the call runs, so a
// loop nested inside it (a modal box) runs the calls behind it, in order.
void QtGuiThread::RunNext() {
    bool more = false;
    const std::shared_ptr<hid::TGuiCall> call = queue_.Take(more);
    if (more) Wake();
    if (call) call->Run();
}

bool QtGuiThread::IsGuiThread() const {
    return QThread::currentThread() == receiver_->thread();
}

}  // namespace lumidra::app
