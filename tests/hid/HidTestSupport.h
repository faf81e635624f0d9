// What the device-layer tests share: a virtual bus, a hand-pumped GUI thread,
// a controller on them, and an object whose handlers record what they see.
#pragma once

#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "hid/HidDeviceReadThread.h"
#include "hid/virtual/VirtualHidBus.h"
#include "tests/support/TestGuiThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumidra::hid::testing {

using lumidra::testing::TestGuiThread;
using namespace std::chrono_literals;

inline TVirtualBoard Board(const std::string& path) {
    TVirtualBoard board;
    board.Path = path;
    return board;
}

// A 65-byte input report: report ID, then 64 bytes derived from `seed`.
inline std::vector<std::uint8_t> Report(std::uint8_t reportId, std::uint32_t seed) {
    std::vector<std::uint8_t> report(65);
    report[0] = reportId;
    for (std::size_t i = 1; i < report.size(); ++i)
        report[i] = static_cast<std::uint8_t>((seed >> (8 * ((i - 1) % 4))) + i * 7);
    return report;
}

struct TDelivery {
    THidDevice* Device;
    std::uint8_t ReportID;
    std::vector<std::uint8_t> Data;
};

// Handlers for every event; each records into Log ("arrival A", ...).
// `OnData`, `OnUnplug`, ... let a test add behaviour to a handler.
class Recorder {
public:
    std::vector<std::string> Log;
    std::vector<TDelivery> Deliveries;
    std::vector<std::uint32_t> Errors;
    std::function<void(THidDevice*)> OnData, OnError, OnUnplug, OnRemovalDo, OnArrivalDo;
    std::function<bool(THidDevice*, std::int32_t)> OnEnumerateDo;
    std::function<void(THidPnPInfo*, bool&, bool&)> OnCreateErrorDo;

    static std::string Name(THidDevice* device) { return device->PnPInfo()->InterfacePath; }

    void Arrival(THidDevice* d) {
        Log.push_back("arrival " + Name(d));
        if (OnArrivalDo) OnArrivalDo(d);
    }
    void Removal(THidDevice* d) {
        Log.push_back("removal " + Name(d));
        if (OnRemovalDo) OnRemovalDo(d);
    }
    void Unplug(THidDevice* d) {
        Log.push_back("unplug " + Name(d));
        if (OnUnplug) OnUnplug(d);
    }
    void Change(TObject*) { Log.push_back("change"); }
    bool Enumerate(THidDevice* d, const std::int32_t idx) {
        Log.push_back("enumerate " + Name(d) + " " + std::to_string(idx));
        return OnEnumerateDo ? OnEnumerateDo(d, idx) : true;
    }
    void Data(THidDevice* d, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
        Deliveries.push_back({d, id, std::vector<std::uint8_t>(data, data + size)});
        if (OnData) OnData(d);
    }
    void Error(THidDevice* d, std::uint32_t error) {
        Errors.push_back(error);
        if (OnError) OnError(d);
    }
    void CreateError(THidDeviceController*, THidPnPInfo* info, bool& handled, bool& retry) {
        Log.push_back("create-error " + info->InterfacePath + (retry ? " retry" : ""));
        if (OnCreateErrorDo) OnCreateErrorDo(info, handled, retry);
    }

    THidPlugEvent ArrivalEvent() { return THidPlugEvent::Of<&Recorder::Arrival>(this); }
    THidPlugEvent RemovalEvent() { return THidPlugEvent::Of<&Recorder::Removal>(this); }
    THidPlugEvent UnplugEvent() { return THidPlugEvent::Of<&Recorder::Unplug>(this); }
    TNotifyEvent ChangeEvent() { return TNotifyEvent::Of<&Recorder::Change>(this); }
    THidEnumerateEvent EnumerateEvent() { return THidEnumerateEvent::Of<&Recorder::Enumerate>(this); }
    THidDataEvent DataEvent() { return THidDataEvent::Of<&Recorder::Data>(this); }
    THidDataErrorEvent ErrorEvent() { return THidDataErrorEvent::Of<&Recorder::Error>(this); }
    THidDeviceCreateError CreateErrorEvent() { return THidDeviceCreateError::Of<&Recorder::CreateError>(this); }
};

class HidTest : public ::testing::Test {
protected:
    VirtualHidBus Bus;
    TestGuiThread Gui;
    Recorder Events;
    std::unique_ptr<THidDeviceController> Controller;

    ~HidTest() override { Controller.reset(); }

    // A controller with every event recorded except OnDeviceChange (set it to
    // start the first re-scan at once), loaded as a window would load it.
    THidDeviceController& Create(bool withChange = true) {
        Controller = std::make_unique<THidDeviceController>(nullptr, Bus, Gui);
        Controller->BeginLoading();
        Controller->SetOnArrival(Events.ArrivalEvent());
        Controller->SetOnRemoval(Events.RemovalEvent());
        Controller->SetOnDeviceUnplug(Events.UnplugEvent());
        Controller->SetOnDeviceData(Events.DataEvent());
        Controller->SetOnDeviceDataError(Events.ErrorEvent());
        if (withChange) Controller->SetOnDeviceChange(Events.ChangeEvent());
        Controller->EndLoading();
        return *Controller;
    }

    // Runs the GUI thread's queue until nothing is left.
    void Pump() {
        while (Gui.ProcessPending() > 0) {}
    }

    // Creates the controller, runs its start-up re-scan and forgets its events.
    THidDeviceController& Started() {
        Create();
        Pump();
        Events.Log.clear();
        return *Controller;
    }

    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (auto* d : Controller->Devices()) paths.push_back(d->PnPInfo()->InterfacePath);
        return paths;
    }

    THidDevice* Claim(std::int32_t idx) {
        THidDevice* device = nullptr;
        EXPECT_TRUE(Controller->ClaimByIndex(device, idx));
        return device;
    }

    // Pumps until `done` holds, also when it comes true without a posted call.
    template <class Predicate>
    bool PumpUntil(Predicate done, std::chrono::milliseconds timeout = 5s) {
        return PumpUntil(Gui, done, timeout);
    }
    template <class Predicate>
    static bool PumpUntil(TestGuiThread& gui, Predicate done, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            gui.RunFor(1ms);
        }
        return true;
    }
};

}  // namespace lumidra::hid::testing
