// The list of HID interfaces present, kept up to date on every device-node
// change, offered to the application one by one and checked out by index.
//
// Everything here runs on the GUI thread. The controller owns the device
// objects in its list; the application checks one out with ClaimByIndex and
// hands it back by destroying it.
#pragma once

#include "hid/Component.h"
#include "hid/HidDevice.h"
#include "hid/HidPlatform.h"
#include "hid/Method.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumidra::hid {

class TGuiThread;
class THidDeviceController;

using THidEnumerateEvent = TMethod<bool(THidDevice* HidDev, const std::int32_t Idx)>;
using THidDeviceCreateError =
    TMethod<void(THidDeviceController* Controller, THidPnPInfo* PnPInfo, bool& Handled, bool& RetryCreate)>;

class THidDeviceController : public TBaseComponent {
public:
    static constexpr const char* ControllerVersion = "1.0.35";
    static constexpr std::int32_t DefaultSleepTime = 100;

    THidDeviceController(TComponent* Owner, THidPlatform& Platform, TGuiThread& Gui);
    ~THidDeviceController() override;

    // --- state -----------------------------------------------------------
    const THidGuid& InterfaceClass() const { return interfaceClass_; }
    const std::vector<THidDevice*>& Devices() const { return devices_; }
    bool Rescanning() const { return rescanning_; }
    std::int32_t ChangeTag() const { return changeTag_; }
    THidNotifyWindow* NotifyWindow() const { return notifyWindow_.get(); }
    THidPlatform& Platform() const { return platform_; }
    TGuiThread& Gui() const { return gui_; }

    // --- published properties ---------------------------------------------
    const THidPlugEvent& OnArrival() const { return onArrival_; }
    void SetOnArrival(const THidPlugEvent& Handler) { onArrival_ = Handler; }
    const TNotifyEvent& OnDeviceChange() const { return onDeviceChange_; }
    void SetOnDeviceChange(const TNotifyEvent& Handler);
    const THidEnumerateEvent& OnEnumerate() const { return onEnumerate_; }
    void SetOnEnumerate(const THidEnumerateEvent& Handler) { onEnumerate_ = Handler; }
    const THidDataEvent& OnDeviceData() const { return onDeviceData_; }
    void SetOnDeviceData(const THidDataEvent& Handler);
    const THidDataErrorEvent& OnDeviceDataError() const { return onDeviceDataError_; }
    void SetOnDeviceDataError(const THidDataErrorEvent& Handler);
    const THidPlugEvent& OnDeviceUnplug() const { return onDeviceUnplug_; }
    void SetOnDeviceUnplug(const THidPlugEvent& Handler);
    const THidPlugEvent& OnRemoval() const { return onRemoval_; }
    void SetOnRemoval(const THidPlugEvent& Handler) { onRemoval_ = Handler; }
    const THidDeviceCreateError& OnDeviceCreateError() const { return onDeviceCreateError_; }
    void SetOnDeviceCreateError(const THidDeviceCreateError& Handler) { onDeviceCreateError_ = Handler; }
    std::int32_t DevThreadSleepTime() const { return devThreadSleepTime_; }
    void SetDevThreadSleepTime(std::int32_t Value);
    std::string Version() const { return ControllerVersion; }
    void SetVersion(const std::string&) {}  // read-only; assignments are ignored

    // --- operations ------------------------------------------------------
    // Re-scans, updates Devices and raises the events. An error of a device
    // object's creation that no handler took leaves it before any change.
    void DeviceChange();
    // Offers each present device to OnEnumerate; the number offered.
    std::int32_t RunEnumeration();
    // Checks the object at Idx out; false (and none) for a bad index or an
    // object already checked out.
    bool ClaimByIndex(THidDevice*& HidDev, std::int32_t Idx);

private:
    friend class THidDevice;  // a device's destruction replaces or removes its own slot

    std::vector<std::unique_ptr<THidDevice>> ScanInterfaces();
    std::intptr_t HandleNotification(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam);

    THidPlatform& platform_;
    TGuiThread& gui_;
    bool setupBound_ = false;
    bool hidBound_ = false;

    THidGuid interfaceClass_ = DefaultHidGuid;
    THidPlugEvent onArrival_;
    TNotifyEvent onDeviceChange_;
    THidEnumerateEvent onEnumerate_;
    THidDataEvent onDeviceData_;
    THidDataErrorEvent onDeviceDataError_;
    THidPlugEvent onDeviceUnplug_;
    THidPlugEvent onRemoval_;
    THidDeviceCreateError onDeviceCreateError_;
    std::int32_t devThreadSleepTime_ = DefaultSleepTime;
    std::vector<THidDevice*> devices_;  // owned
    bool rescanning_ = false;
    std::int32_t changeTag_ = 0;
    std::unique_ptr<THidNotifyWindow> notifyWindow_;
    // What the notification window's handler reaches; cleared when the window
    // is released, so that a message still queued never reaches this object.
    std::shared_ptr<THidDeviceController*> notifyTarget_;
};

}  // namespace lumidra::hid
