// The device layer's way into Qt's event loop.
#pragma once

#include "hid/GuiCallQueue.h"
#include "hid/GuiThread.h"

#include <QObject>

#include <functional>
#include <memory>

namespace lumidra::app {

// Posted calls wait in one queue, in the order posted; an event of our own,
// posted to an object that lives in the thread that created this one (the GUI
// thread), runs them one per turn of whichever loop is running there, a modal
// box's loop included. Only a queue that had nothing waiting posts an event,
// and the events come from a small reserve that is used again and again, so a
// reader handing report after report over allocates nothing. Create it before
// and destroy it after everything that posts to it.
class QtGuiThread final : public hid::TGuiThread {
public:
    QtGuiThread();
    ~QtGuiThread() override;

    void Post(std::function<void()> call) override;
    void PostCall(std::shared_ptr<hid::TGuiCall> call) override;
    bool IsGuiThread() const override;

private:
    class TReceiver;

    void Wake();
    void RunNext();

    hid::TGuiCallQueue queue_;
    // Goes first: the events still posted to it go with it.
    std::unique_ptr<QObject> receiver_;
};

}  // namespace lumidra::app
