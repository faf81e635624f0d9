// One HID interface found by a scan: its plug-and-play record, its identity,
// its handles, its strings, synchronous writes, and while the application has
// it checked out, a reader thread that hands each input report to the GUI
// thread.
//
// Threads: everything runs on the GUI thread except what the object's own
// reader uses (StartRead, ReadCount, CancelPending of the read handle,
// QueryCaps, SleepTime and the flags behind Accessible). The read handle and
// the main handle are guarded by locks of their own, so the GUI thread closing
// them (an unplug) can never race a reader using them; the flags are atomic.
#pragma once

#include "hid/HidPlatform.h"
#include "hid/Method.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace lumidra::hid {

class TGuiThread;
class THidDevice;
class THidDeviceController;
class THidDeviceReadThread;

// The error a device object's creation raises.
class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* DeviceCannotBeOpened = "Device cannot be opened";
inline constexpr const char* DeviceCannotBeIdentified = "Device cannot be identified";

using THidDataEvent =
    TMethod<void(THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size)>;
using THidDataErrorEvent = TMethod<void(THidDevice* HidDev, std::uint32_t Error)>;
using THidPlugEvent = TMethod<void(THidDevice* HidDev)>;

// The plug-and-play record of one interface: how to reach it and what the
// platform's registry says about it. Only InstanceHandle and InterfacePath are
// used; the registry properties are kept as THidRegistryProperties says.
class THidPnPInfo : public THidRegistryProperties {
public:
    explicit THidPnPInfo(const THidInterfaceRecord& Record)
        : THidRegistryProperties(Record.Properties),
          InstanceHandle(Record.InstanceHandle),
          InterfacePath(Record.InterfacePath) {}
    virtual ~THidPnPInfo() = default;

    std::uint32_t InstanceHandle = 0;
    std::string InterfacePath;
};

enum class THidIoKind { Read, Write };

// UTF-16 text in the system's narrow encoding: the ANSI code page on Windows,
// UTF-8 elsewhere. Unpaired surrogates become U+FFFD. Defined per system
// (SystemCalls.h).
std::string WideToAnsi(const std::u16string& Text);

// The length of what a platform wrote into a buffer of `Words` 16-bit words
// that was filled with 0xFFFF first: the index of the last word written that
// is a NUL, or one past it otherwise; 0 when nothing was written.
std::size_t WrittenWideLength(const std::uint16_t* Buffer, std::size_t Words);

class THidDevice : public TObject {
public:
    // Identifies the device behind `PnPInfo` and closes it again. Raises
    // EControllerError when it cannot be opened or identified; `PnPInfo` then
    // stays with the caller, otherwise the object owns it.
    THidDevice(THidPnPInfo* PnPInfo, THidDeviceController* Controller);
    THidDevice(THidPnPInfo* PnPInfo, THidPlatform& Platform, TGuiThread& Gui, THidDeviceController* Controller);
    // Stops the reader and closes everything. The application checks an object
    // in this way: while the device is still present, a fresh checked-in object
    // takes this one's place in the controller's list.
    ~THidDevice() override;

    THidDeviceController* Controller() const { return controller_; }
    bool Present() const { return present_.load(std::memory_order_acquire); }
    bool Claimed() const { return claimed_.load(std::memory_order_acquire); }
    bool Offered() const { return offered_.load(std::memory_order_acquire); }
    // Present and (Claimed or Offered): the only state in which handles are opened.
    bool Accessible() const { return Present() && (Claimed() || Offered()); }

    THidHandle MainHandle() const;
    THidHandle ReadHandle() const;
    THidHandle WriteHandle() const { return writeHandle_; }
    const THidAttributes& Identity() const { return identity_; }
    THidPnPInfo* PnPInfo() const { return pnpInfo_; }
    THidPreparsedData ParsedData() const { return parsedData_.load(std::memory_order_acquire); }
    const std::u16string& SerialCache() const { return serialCache_; }
    std::int32_t SleepTime() const { return sleepTime_.load(std::memory_order_relaxed); }
    const THidDataEvent& DataHandler() const { return dataHandler_; }
    const THidDataErrorEvent& DataErrorHandler() const { return dataErrorHandler_; }
    const THidPlugEvent& UnplugHandler() const { return unplugHandler_; }
    bool ReadWriteGranted() const { return readWriteGranted_.load(std::memory_order_acquire); }
    THidDeviceReadThread* Reader() const { return reader_.get(); }

    bool OpenMain();
    void CloseMain();
    bool OpenReader();
    void CloseReader();
    bool OpenWriter();
    void CloseWriter();

    std::u16string StringByIndex(std::uint8_t Idx);
    std::string StringByIndexAnsi(std::uint8_t Idx);
    std::u16string SerialString();
    void QueryCaps(THidCaps& Caps);

    bool WriteReport(const void* Buffer, std::uint32_t Count, std::uint32_t& Written);

    // The reader's side.
    bool StartRead(void* Buffer, std::uint32_t Count, THidReadCompletion Routine);
    std::uint32_t ReadCount();
    bool CancelPending(THidIoKind Which);

    void SetSleepTime(std::int32_t Value);
    void SetDataHandler(const THidDataEvent& Handler);
    void StartReader();
    void StopReader();

    // The device has gone: closes the handles for good and raises the unplug
    // handler once. The handler may destroy this object.
    void MarkUnplugged();

    THidPlatform& Platform() const { return platform_; }
    TGuiThread& Gui() const { return gui_; }

    // Expires when this object is destroyed: lets a caller that raised a
    // handler with it see whether the handler destroyed it.
    std::weak_ptr<const void> LifeToken() const { return lifeToken_; }

private:
    friend class THidDeviceController;

    bool OpenMainLocked();  // with mainLock_ held
    void CloseMainLocked();
    bool OpenReaderLocked();  // with readLock_ held
    void CloseReaderLocked();
    THidHandle OpenSynchronous();
    THidPreparsedData FetchParsedData();
    void CheckIn();

    THidPlatform& platform_;
    TGuiThread& gui_;

    THidDeviceController* controller_;
    std::atomic<bool> present_{true};
    std::atomic<bool> claimed_{false};
    std::atomic<bool> offered_{false};
    THidHandle mainHandle_ = InvalidHidHandle;   // guarded by mainLock_
    THidHandle readHandle_ = InvalidHidHandle;   // guarded by readLock_
    THidHandle writeHandle_ = InvalidHidHandle;  // GUI thread only
    THidOverlapped readOverlap_{};               // guarded by readLock_
    THidAttributes identity_{};
    THidPnPInfo* pnpInfo_;
    bool ownsPnPInfo_ = false;
    std::atomic<THidPreparsedData> parsedData_{0};  // fetched under mainLock_
    std::u16string serialCache_;
    std::atomic<std::int32_t> sleepTime_{100};
    THidDataEvent dataHandler_;
    THidDataErrorEvent dataErrorHandler_;
    THidPlugEvent unplugHandler_;
    std::atomic<bool> readWriteGranted_{false};
    std::unique_ptr<THidDeviceReadThread> reader_;

    mutable std::mutex mainLock_;
    mutable std::mutex readLock_;
    std::shared_ptr<const void> lifeToken_ = std::make_shared<char>(0);
};

}  // namespace lumidra::hid
