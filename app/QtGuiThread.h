// The device layer's way into Qt's event loop.
#pragma once

#include "hid/GuiThread.h"

#include <QObject>

#include <functional>
#include <memory>

namespace lumidra::app {

// Posted calls become queued invocations on an object that lives in the
// thread that created this one (the GUI thread), so they run at a later turn
// of whichever loop is running there, a modal box's loop included. Create it
// before and destroy it after everything that posts to it.
class QtGuiThread final : public hid::TGuiThread {
public:
    QtGuiThread();
    ~QtGuiThread() override;

    void Post(std::function<void()> call) override;
    bool IsGuiThread() const override;

private:
    std::unique_ptr<QObject> receiver_;
};

}  // namespace lumidra::app
