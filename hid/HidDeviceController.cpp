#include "hid/HidDeviceController.h"

#include <algorithm>
#include <utility>

namespace lumidra::hid {

namespace {

// The parameter of the device-change message the controller posts to itself
// at creation: the re-scan it starts always raises OnDeviceChange.
constexpr std::intptr_t StartupChangeTag = -1;

struct TWatched {
    THidDevice* Device;
    std::weak_ptr<const void> Alive;
};

}  // namespace

THidDeviceController::THidDeviceController(TComponent* Owner, THidPlatform& Platform, TGuiThread& Gui)
    : TBaseComponent(Owner), platform_(Platform), gui_(Gui) {
    setupBound_ = platform_.LoadSetupLibrary();
    if (setupBound_) hidBound_ = platform_.LoadHidLibrary();
    if (!hidBound_) {
        // Inert: no window, no scan, no event ever fires by itself.
        interfaceClass_ = DefaultHidGuid;
        return;
    }
    interfaceClass_ = platform_.GetHidGuid();
    notifyTarget_ = std::make_shared<THidDeviceController*>(this);
    notifyWindow_ = platform_.CreateNotifyWindow(
        gui_,
        [target = notifyTarget_](std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam) -> std::intptr_t {
            if (*target == nullptr) return 0;
            return (*target)->HandleNotification(Msg, WParam, LParam);
        });
    if (notifyWindow_) notifyWindow_->PostMessage(HidDeviceChangeMessage, HidDevNodesChanged, StartupChangeTag);
}

THidDeviceController::~THidDeviceController() {
    BeginDestroying();
    onDeviceChange_ = nullptr;
    onDeviceUnplug_ = nullptr;
    onEnumerate_ = nullptr;
    if (hidBound_) {
        if (notifyTarget_) *notifyTarget_ = nullptr;
        notifyWindow_.reset();
    }
    // Each object leaves the list and is unlinked before it is destroyed, so
    // its destruction leaves the list alone; an unplug handler may still check
    // in (destroy) objects further on, which replace or remove their own slots.
    while (!devices_.empty()) {
        THidDevice* device = devices_.front();
        devices_.erase(devices_.begin());
        device->controller_ = nullptr;
        const auto alive = device->LifeToken();
        if (device->Claimed()) device->MarkUnplugged();
        if (!alive.expired()) delete device;
    }
    devices_.clear();
    // The setup library's reference is released whenever it was taken, also
    // when the HID library could not be bound after it.
    if (setupBound_) platform_.UnloadSetupLibrary();
    platform_.UnloadHidLibrary();
}

// ---------------------------------------------------------------------------
// Properties

void THidDeviceController::SetOnDeviceChange(const TNotifyEvent& Handler) {
    if (Handler == onDeviceChange_) return;
    onDeviceChange_ = Handler;
    if (!Loading()) DeviceChange();
}

void THidDeviceController::SetOnDeviceData(const THidDataEvent& Handler) {
    if (Handler == onDeviceData_) return;
    // Clearing a handler waits for readers, which runs their pending
    // deliveries; a handler may destroy objects meanwhile.
    std::vector<TWatched> watched;
    for (auto* device : devices_) watched.push_back({device, device->LifeToken()});
    const THidDataEvent current = onDeviceData_;
    for (const auto& entry : watched) {
        if (entry.Alive.expired()) continue;
        if (entry.Device->DataHandler() == current) entry.Device->SetDataHandler(Handler);
    }
    onDeviceData_ = Handler;
}

void THidDeviceController::SetOnDeviceDataError(const THidDataErrorEvent& Handler) {
    if (Handler == onDeviceDataError_) return;
    for (auto* device : devices_)
        if (device->dataErrorHandler_ == onDeviceDataError_) device->dataErrorHandler_ = Handler;
    onDeviceDataError_ = Handler;
}

void THidDeviceController::SetOnDeviceUnplug(const THidPlugEvent& Handler) {
    if (Handler == onDeviceUnplug_) return;
    for (auto* device : devices_)
        if (device->unplugHandler_ == onDeviceUnplug_) device->unplugHandler_ = Handler;
    onDeviceUnplug_ = Handler;
}

void THidDeviceController::SetDevThreadSleepTime(std::int32_t Value) {
    if (Value == devThreadSleepTime_) return;
    for (auto* device : devices_)
        if (device->SleepTime() == devThreadSleepTime_) device->SetSleepTime(Value);
    devThreadSleepTime_ = Value;
}

// ---------------------------------------------------------------------------
// Notifications and re-scans

std::intptr_t THidDeviceController::HandleNotification(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam) {
    if (!Destroying() && Msg == HidDeviceChangeMessage && WParam == HidDevNodesChanged && !rescanning_) {
        // A notification arriving while a handler of this re-scan lets the
        // loop turn is dropped: this re-scan sees that change too.
        changeTag_ = static_cast<std::int32_t>(LParam);
        rescanning_ = true;
        try {
            DeviceChange();
        } catch (...) {
            rescanning_ = false;
            throw;
        }
        rescanning_ = false;
    }
    return notifyWindow_ ? notifyWindow_->DefWindowProc(Msg, WParam, LParam) : 0;
}

std::vector<std::unique_ptr<THidDevice>> THidDeviceController::ScanInterfaces() {
    std::vector<std::unique_ptr<THidDevice>> result;
    if (!hidBound_ || !platform_.HidLibraryLoaded()) return result;
    std::vector<THidInterfaceRecord> records;
    if (!platform_.ListInterfaces(interfaceClass_, records)) return result;

    for (const auto& record : records) {
        auto info = std::make_unique<THidPnPInfo>(record);
        bool retryCreate = false;
        for (;;) {
            try {
                auto device = std::make_unique<THidDevice>(info.get(), this);
                static_cast<void>(info.release());  // the object owns it now
                result.push_back(std::move(device));
                break;
            } catch (const EControllerError&) {
                if (!onDeviceCreateError_) throw;
                bool handled = false;
                onDeviceCreateError_(this, info.get(), handled, retryCreate);
                if (!handled) throw;
                if (!retryCreate) break;  // skip this interface
            }
        }
    }
    return result;
}

// One re-scan in its fixed order (removals from the last position to the
// first, arrivals, one change event), each step re-checking what a handler may
// have destroyed meanwhile: split up, every part would carry those checks.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void THidDeviceController::DeviceChange() {
    bool changed = changeTag_ == StartupChangeTag;
    // A creation error no handler took leaves here, before any change or event.
    auto fresh = ScanInterfaces();

    auto inFresh = [&](std::uint32_t instance) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [&](const auto& device) { return device && device->PnPInfo()->InstanceHandle == instance; });
    };

    // Removal pass, from the last position to the first. Handlers may destroy
    // objects (their own or others), which changes the list under us: each
    // object is looked up again before it is used.
    std::vector<TWatched> known;
    for (auto it = devices_.rbegin(); it != devices_.rend(); ++it) known.push_back({*it, (*it)->LifeToken()});
    for (const auto& entry : known) {
        if (entry.Alive.expired()) continue;
        THidDevice* device = entry.Device;
        if (std::find(devices_.begin(), devices_.end(), device) == devices_.end()) continue;
        if (device->Present() && inFresh(device->PnPInfo()->InstanceHandle)) continue;

        changed = true;
        device->MarkUnplugged();
        if (entry.Alive.expired()) continue;  // the unplug handler checked it in
        if (onRemoval_) {
            device->offered_ = true;
            onRemoval_(device);
            if (entry.Alive.expired()) continue;
            device->offered_ = false;
        }
        if (!device->Claimed()) {
            const auto it = std::find(devices_.begin(), devices_.end(), device);
            if (it != devices_.end()) devices_.erase(it);
            delete device;
        }
    }

    // Duplicate pass: objects for interfaces already known go again. A known
    // device that was opened query-only while it can now be read and written
    // (a new node whose owner and mode the system set after it appeared)
    // counts as a change: the application is offered it again and can take
    // it now, where nothing else would tell it.
    for (auto& device : fresh) {
        const auto instance = device->PnPInfo()->InstanceHandle;
        const auto member = std::find_if(devices_.begin(), devices_.end(), [&](THidDevice* m) {
            return m->Present() && m->PnPInfo()->InstanceHandle == instance;
        });
        const bool listed = member != devices_.end();
        if (listed && !(*member)->Claimed() && !(*member)->ReadWriteGranted() && device->ReadWriteGranted())
            changed = true;
        if (listed) {
            device->controller_ = nullptr;
            device.reset();
        }
    }

    // Arrival pass, in scan order.
    for (auto& slot : fresh) {
        if (!slot) continue;
        THidDevice* device = slot.release();
        devices_.push_back(device);
        changed = true;
        if (onArrival_) {
            const auto alive = device->LifeToken();
            device->offered_ = true;
            onArrival_(device);
            if (!alive.expired()) device->offered_ = false;
        }
    }

    if (changed && onDeviceChange_) onDeviceChange_(this);
}

// ---------------------------------------------------------------------------
// Enumeration and check-out

std::int32_t THidDeviceController::RunEnumeration() {
    std::int32_t count = 0;
    const std::size_t length = devices_.size();
    for (std::size_t i = 0; i < length && i < devices_.size(); ++i) {
        THidDevice* device = devices_[i];
        if (!device->Present()) continue;
        ++count;
        bool goOn = false;
        if (onEnumerate_) {
            const auto alive = device->LifeToken();
            device->offered_ = true;
            goOn = onEnumerate_(device, static_cast<std::int32_t>(i));
            if (!alive.expired()) {
                device->offered_ = false;
                if (!device->Claimed()) {
                    device->CloseMain();
                    device->CloseReader();
                    device->CloseWriter();
                }
            }
        }
        if (!goOn) break;
    }
    return count;
}

bool THidDeviceController::ClaimByIndex(THidDevice*& HidDev, std::int32_t Idx) {
    HidDev = nullptr;
    if (Idx < 0 || static_cast<std::size_t>(Idx) >= devices_.size()) return false;
    THidDevice* device = devices_[static_cast<std::size_t>(Idx)];
    if (device->Claimed()) return false;
    HidDev = device;
    device->claimed_ = true;
    device->StartReader();
    return true;
}

}  // namespace lumidra::hid
