#include "hid/HidDevice.h"

#include "hid/HidDeviceController.h"
#include "hid/HidDeviceReadThread.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace lumidra::hid {

namespace {

// The platform's string calls take a buffer of 254 wide characters.
constexpr std::size_t StringWords = 254;
constexpr std::uint32_t StringBytes = StringWords * 2;

// The size of the platform's attributes record, which the query expects preset.
constexpr std::uint32_t AttributesRecordSize = 12;

std::u16string UpToNul(const char16_t* Buffer, std::size_t Words) {
    const auto* end = std::find(Buffer, Buffer + Words, u'\0');
    return std::u16string(Buffer, end);
}

}  // namespace

std::size_t WrittenWideLength(const std::uint16_t* Buffer, std::size_t Words) {
    for (std::size_t i = Words; i-- > 0;) {
        if (Buffer[i] == 0xFFFF) continue;
        return Buffer[i] == 0 ? i : i + 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Creation and destruction

THidDevice::THidDevice(THidPnPInfo* PnPInfo, THidDeviceController* Controller)
    : THidDevice(PnPInfo, Controller->Platform(), Controller->Gui(), Controller) {}

THidDevice::THidDevice(THidPnPInfo* PnPInfo, THidPlatform& Platform, TGuiThread& Gui, THidDeviceController* Controller)
    : platform_(Platform), gui_(Gui), controller_(Controller), pnpInfo_(PnPInfo) {
    if (controller_) {
        dataErrorHandler_ = controller_->OnDeviceDataError();
        unplugHandler_ = controller_->OnDeviceUnplug();
        SetDataHandler(controller_->OnDeviceData());  // not claimed: starts no reader
    }
    mainHandle_ = OpenSynchronous();
    if (mainHandle_ == InvalidHidHandle) throw EControllerError(DeviceCannotBeOpened);
    identity_.Size = AttributesRecordSize;
    if (!platform_.GetAttributes(mainHandle_, identity_)) {
        CloseMainLocked();
        throw EControllerError(DeviceCannotBeIdentified);
    }
    CloseMainLocked();
    ownsPnPInfo_ = true;
}

THidDevice::~THidDevice() {
    const THidDataEvent keptData = dataHandler_;
    const THidPlugEvent keptUnplug = unplugHandler_;
    SetDataHandler(nullptr);
    unplugHandler_ = nullptr;
    {
        std::scoped_lock lock(mainLock_, readLock_);
        CloseMainLocked();
        CloseReaderLocked();
    }
    CloseWriter();
    if (const auto data = parsedData_.exchange(0)) platform_.FreePreparsedData(data);

    if (controller_) {
        auto& list = controller_->devices_;
        const auto it = std::find(list.begin(), list.end(), this);
        if (it != list.end()) {
            const auto position = static_cast<std::size_t>(std::distance(list.begin(), it));
            bool replaced = false;
            if (Present()) {
                // Still plugged in: a fresh checked-in object takes this slot.
                try {
                    auto* fresh = new THidDevice(pnpInfo_, controller_);
                    ownsPnPInfo_ = false;
                    fresh->SetDataHandler(keptData);
                    fresh->unplugHandler_ = keptUnplug;
                    fresh->SetSleepTime(SleepTime());
                    list[position] = fresh;
                    replaced = true;
                } catch (...) {
                    // The interface can no longer be opened: its slot goes.
                }
            }
            if (!replaced) list.erase(list.begin() + static_cast<std::ptrdiff_t>(position));
        }
    }
    if (ownsPnPInfo_) delete pnpInfo_;
}

// ---------------------------------------------------------------------------
// Handles

THidHandle THidDevice::MainHandle() const {
    std::lock_guard lock(mainLock_);
    return mainHandle_;
}

THidHandle THidDevice::ReadHandle() const {
    std::lock_guard lock(readLock_);
    return readHandle_;
}

THidHandle THidDevice::OpenSynchronous() {
    THidHandle handle = platform_.Open(pnpInfo_->InterfacePath, THidOpenMode::ReadWrite);
    readWriteGranted_.store(handle != InvalidHidHandle, std::memory_order_release);
    if (handle == InvalidHidHandle) handle = platform_.Open(pnpInfo_->InterfacePath, THidOpenMode::QueryOnly);
    return handle;
}

bool THidDevice::OpenMainLocked() {
    // A handle left open from an earlier offer is not used once the object is
    // neither offered nor checked out.
    if (!Accessible()) return false;
    if (mainHandle_ == InvalidHidHandle) mainHandle_ = OpenSynchronous();
    return mainHandle_ != InvalidHidHandle;
}

void THidDevice::CloseMainLocked() {
    if (mainHandle_ == InvalidHidHandle) return;
    platform_.Close(mainHandle_);
    mainHandle_ = InvalidHidHandle;
}

bool THidDevice::OpenMain() {
    std::lock_guard lock(mainLock_);
    return OpenMainLocked();
}

void THidDevice::CloseMain() {
    std::lock_guard lock(mainLock_);
    CloseMainLocked();
}

bool THidDevice::OpenReaderLocked() {
    if (!Accessible()) return false;
    if (readHandle_ == InvalidHidHandle)
        readHandle_ = platform_.Open(pnpInfo_->InterfacePath, THidOpenMode::OverlappedRead);
    return readHandle_ != InvalidHidHandle;
}

void THidDevice::CloseReaderLocked() {
    if (readHandle_ == InvalidHidHandle) return;
    platform_.Close(readHandle_);
    readHandle_ = InvalidHidHandle;
}

bool THidDevice::OpenReader() {
    std::lock_guard lock(readLock_);
    return OpenReaderLocked();
}

void THidDevice::CloseReader() {
    std::lock_guard lock(readLock_);
    CloseReaderLocked();
}

bool THidDevice::OpenWriter() {
    if (!Accessible()) return false;
    if (writeHandle_ == InvalidHidHandle)
        writeHandle_ = platform_.Open(pnpInfo_->InterfacePath, THidOpenMode::OverlappedWrite);
    return writeHandle_ != InvalidHidHandle;
}

void THidDevice::CloseWriter() {
    if (writeHandle_ == InvalidHidHandle) return;
    platform_.Close(writeHandle_);
    writeHandle_ = InvalidHidHandle;
}

// ---------------------------------------------------------------------------
// Strings, capabilities, writing

std::u16string THidDevice::StringByIndex(std::uint8_t Idx) {
    if (Idx == 0) return {};
    std::lock_guard lock(mainLock_);
    if (!OpenMainLocked()) return {};
    char16_t buffer[StringWords] = {};
    if (!platform_.GetIndexedString(mainHandle_, Idx, buffer, StringBytes)) return {};
    return UpToNul(buffer, StringWords);
}

std::string THidDevice::StringByIndexAnsi(std::uint8_t Idx) {
    return WideToAnsi(StringByIndex(Idx));
}

std::u16string THidDevice::SerialString() {
    if (!serialCache_.empty()) return serialCache_;
    std::lock_guard lock(mainLock_);
    if (!OpenMainLocked()) return serialCache_;
    char16_t serial[StringWords] = {};
    if (platform_.GetSerialNumberString(mainHandle_, serial, StringBytes)) {
        // Some devices answer the serial-number request with their language
        // list; that is no serial number.
        std::uint16_t languages[StringWords];
        std::fill(std::begin(languages), std::end(languages), 0xFFFF);
        platform_.GetIndexedString(mainHandle_, 0, languages, StringBytes);
        const std::size_t n = WrittenWideLength(languages, StringWords);
        for (std::size_t i = 0; i < n; ++i) {
            if (static_cast<std::uint16_t>(serial[i]) != languages[i]) {
                serialCache_ = UpToNul(serial, StringWords);
                break;
            }
        }
    }
    CloseMainLocked();
    return serialCache_;
}

THidPreparsedData THidDevice::FetchParsedData() {
    std::lock_guard lock(mainLock_);
    THidPreparsedData data = parsedData_.load(std::memory_order_acquire);
    if (data != 0) return data;
    if (OpenMainLocked()) {
        THidPreparsedData fetched = 0;
        if (platform_.GetPreparsedData(mainHandle_, fetched)) {
            parsedData_.store(fetched, std::memory_order_release);
            data = fetched;
        }
        CloseMainLocked();
    }
    return data;
}

void THidDevice::QueryCaps(THidCaps& Caps) {
    Caps = THidCaps{};
    THidPreparsedData data = parsedData_.load(std::memory_order_acquire);
    if (data == 0) data = FetchParsedData();
    platform_.GetCaps(data, Caps);
}

bool THidDevice::WriteReport(const void* Buffer, std::uint32_t Count, std::uint32_t& Written) {
    std::lock_guard lock(mainLock_);
    if (!OpenMainLocked()) return false;
    std::uint32_t written = 0;
    const bool ok = platform_.WriteFile(mainHandle_, Buffer, Count, written);
    Written = written;
    return ok;
}

// ---------------------------------------------------------------------------
// Reading

bool THidDevice::StartRead(void* Buffer, std::uint32_t Count, THidReadCompletion Routine) {
    std::lock_guard lock(readLock_);
    if (!OpenReaderLocked()) return false;
    readOverlap_ = THidOverlapped{};
    readOverlap_.hEvent = this;
    return platform_.ReadFileEx(readHandle_, Buffer, Count, readOverlap_, Routine);
}

std::uint32_t THidDevice::ReadCount() {
    std::lock_guard lock(readLock_);
    if (readHandle_ == InvalidHidHandle) return 0;
    std::uint32_t transferred = 0;
    if (!platform_.GetOverlappedResult(readHandle_, readOverlap_, transferred)) return 0;
    return transferred;
}

bool THidDevice::CancelPending(THidIoKind Which) {
    if (Which == THidIoKind::Read) {
        std::lock_guard lock(readLock_);
        return readHandle_ != InvalidHidHandle && platform_.CancelIo(readHandle_);
    }
    return writeHandle_ != InvalidHidHandle && platform_.CancelIo(writeHandle_);
}

// ---------------------------------------------------------------------------
// The reader's lifecycle

void THidDevice::SetSleepTime(std::int32_t Value) {
    if (Value >= 10 && Value <= 10000) sleepTime_.store(Value, std::memory_order_relaxed);
}

void THidDevice::SetDataHandler(const THidDataEvent& Handler) {
    if (!Handler) {
        const auto alive = LifeToken();
        // Waiting for the reader runs its pending delivery, whose handler may
        // destroy this object.
        StopReader();
        if (alive.expired()) return;
    }
    dataHandler_ = Handler;
    StartReader();
}

void THidDevice::StartReader() {
    if (dataHandler_ && Present() && Claimed() && ReadWriteGranted() && !reader_)
        reader_ = std::make_unique<THidDeviceReadThread>(this);
}

void THidDevice::StopReader() {
    if (!reader_) return;
    // Out of the member first: a handler run while we wait sees no reader to stop.
    std::unique_ptr<TCustomThread> reader = std::move(reader_);
    TCustomThread::ReleaseAfterSynchronize(std::move(reader));
}

void THidDevice::MarkUnplugged() {
    {
        // Present is cleared under both locks, so a reader cannot open a fresh
        // read handle between the close and the flag.
        std::scoped_lock lock(mainLock_, readLock_);
        present_.store(false, std::memory_order_release);
        CloseMainLocked();
        CloseReaderLocked();
    }
    CloseWriter();
    if (unplugHandler_) {
        const THidPlugEvent handler = unplugHandler_;
        unplugHandler_ = nullptr;
        handler(this);  // may destroy this object
    }
}

}  // namespace lumidra::hid
