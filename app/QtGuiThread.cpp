#include "app/QtGuiThread.h"

#include <QMetaObject>
#include <QThread>

namespace lumidra::app {

QtGuiThread::QtGuiThread() : receiver_(std::make_unique<QObject>()) {}

QtGuiThread::~QtGuiThread() = default;

void QtGuiThread::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(receiver_.get(), std::move(call), Qt::QueuedConnection);
}

bool QtGuiThread::IsGuiThread() const {
    return QThread::currentThread() == receiver_->thread();
}

}  // namespace lumidra::app
