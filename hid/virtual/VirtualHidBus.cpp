#include "hid/virtual/VirtualHidBus.h"

#include "hid/GuiThread.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <thread>

namespace lumidra::hid {

namespace {

// What the overlapped record's status slot holds, as on the real platform.
constexpr std::uintptr_t StatusPending = 0x103;
constexpr std::uint32_t ErrorIoIncomplete = 996;
constexpr std::uint32_t ErrorInvalidParameter = 87;

thread_local std::uint32_t lastError = 0;

// Writes UTF-16 units and a terminating NUL where there is room; nothing else
// of the caller's buffer is touched.
void PutWide(void* buffer, std::uint32_t bufferBytes, const std::u16string& text) {
    const std::size_t room = bufferBytes / 2;
    const std::size_t units = std::min(text.size(), room);
    if (units > 0) std::memcpy(buffer, text.data(), units * 2);
    if (units < room) {
        const char16_t nul = 0;
        std::memcpy(static_cast<char*>(buffer) + units * 2, &nul, 2);
    }
}

}  // namespace

struct VirtualHidBus::Board {
    int Id = 0;
    TVirtualBoard Description;
    TVirtualFaults Faults;
    bool Plugged = true;
    std::uint32_t InstanceHandle = 0;
    std::deque<std::vector<std::uint8_t>> Input;
    std::vector<std::vector<std::uint8_t>> Written;
    std::shared_ptr<const TWriteObserver> Observer;
};

struct VirtualHidBus::Handle {
    THidHandle Id = InvalidHidHandle;
    std::shared_ptr<Board> Device;
    THidOpenMode Mode = THidOpenMode::QueryOnly;
};

struct VirtualHidBus::PendingRead {
    std::thread::id Owner;
    THidHandle HandleId = InvalidHidHandle;
    std::shared_ptr<Board> Device;
    void* Buffer = nullptr;
    std::uint32_t Count = 0;
    THidOverlapped* Overlapped = nullptr;
    THidReadCompletion Routine = nullptr;
    bool Finished = false;  // completed with an error, waiting for its owner's alertable wait
    std::uint32_t Error = 0;
};

// Posts its messages through the GUI thread's loop. A message still queued
// when the window is destroyed is dropped when its turn comes.
class VirtualHidBus::NotifyWindow final : public THidNotifyWindow {
public:
    struct Shared {
        bool Alive = true;
        Handler Receiver;
    };

    NotifyWindow(VirtualHidBus& bus, TGuiThread& gui, Handler handler)
        : bus_(bus), gui_(gui), shared_(std::make_shared<Shared>()) {
        shared_->Receiver = std::move(handler);
    }

    ~NotifyWindow() override {
        shared_->Alive = false;
        std::lock_guard lock(bus_.mutex_);
        bus_.windows_.erase(this);
    }

    bool PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        auto shared = shared_;
        gui_.Post([shared, msg, wParam, lParam] {
            if (shared->Alive) shared->Receiver(msg, wParam, lParam);
        });
        return true;
    }

    std::intptr_t DefWindowProc(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }

private:
    VirtualHidBus& bus_;
    TGuiThread& gui_;
    std::shared_ptr<Shared> shared_;
};

VirtualHidBus::VirtualHidBus() = default;

VirtualHidBus::~VirtualHidBus() = default;

// ---------------------------------------------------------------------------
// What tests and tools do

int VirtualHidBus::Plug(const TVirtualBoard& description) {
    int id = 0;
    {
        std::lock_guard lock(mutex_);
        auto board = std::make_shared<Board>();
        board->Id = id = nextBoard_++;
        board->Description = description;
        if (board->Description.Path.empty()) board->Description.Path = "virtual://hid/" + std::to_string(board->Id);
        board->InstanceHandle = 0x1000u + static_cast<std::uint32_t>(board->Id);
        boards_[board->Id] = board;
    }
    PostChange();
    return id;
}

void VirtualHidBus::Unplug(int id) {
    {
        std::lock_guard lock(mutex_);
        auto it = boards_.find(id);
        if (it == boards_.end() || !it->second->Plugged) return;
        auto& board = *it->second;
        board.Plugged = false;
        board.Input.clear();
        // The platform ends every read pending on the device with an error.
        for (auto& read : pendingReads_) {
            if (read->Device.get() == &board && !read->Finished) {
                read->Finished = true;
                read->Error = ERROR_DEVICE_NOT_CONNECTED_CODE;
            }
        }
    }
    changed_.notify_all();
    PostChange();
}

bool VirtualHidBus::IsPlugged(int id) const {
    std::lock_guard lock(mutex_);
    auto it = boards_.find(id);
    return it != boards_.end() && it->second->Plugged;
}

void VirtualHidBus::Feed(int id, std::vector<std::uint8_t> report) {
    {
        std::lock_guard lock(mutex_);
        auto it = boards_.find(id);
        if (it == boards_.end() || !it->second->Plugged) return;
        it->second->Input.push_back(std::move(report));
    }
    changed_.notify_all();
}

std::size_t VirtualHidBus::PendingInput(int id) const {
    std::lock_guard lock(mutex_);
    auto it = boards_.find(id);
    return it == boards_.end() ? 0 : it->second->Input.size();
}

std::vector<std::vector<std::uint8_t>> VirtualHidBus::Written(int id) const {
    std::lock_guard lock(mutex_);
    auto it = boards_.find(id);
    return it == boards_.end() ? std::vector<std::vector<std::uint8_t>>{} : it->second->Written;
}

void VirtualHidBus::ClearWritten(int id) {
    std::lock_guard lock(mutex_);
    auto it = boards_.find(id);
    if (it != boards_.end()) it->second->Written.clear();
}

bool VirtualHidBus::WaitWritten(int id, std::size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        auto it = boards_.find(id);
        return it != boards_.end() && it->second->Written.size() >= count;
    });
}

void VirtualHidBus::SetWriteObserver(int id, TWriteObserver observer) {
    std::lock_guard lock(mutex_);
    auto it = boards_.find(id);
    if (it == boards_.end()) return;
    it->second->Observer = observer ? std::make_shared<const TWriteObserver>(std::move(observer)) : nullptr;
}

void VirtualHidBus::SetFaults(int id, const TVirtualFaults& faults) {
    std::lock_guard lock(mutex_);
    auto it = boards_.find(id);
    if (it != boards_.end()) it->second->Faults = faults;
}

void VirtualHidBus::SetReadWriteGranted(int id, bool granted) {
    {
        std::lock_guard lock(mutex_);
        auto it = boards_.find(id);
        if (it == boards_.end()) return;
        it->second->Description.ReadWriteGranted = granted;
    }
    PostChange();
}

void VirtualHidBus::SetListingFails(bool fails) {
    std::lock_guard lock(mutex_);
    listingFails_ = fails;
}

void VirtualHidBus::SetBindingFails(bool setupFails, bool hidFails) {
    std::lock_guard lock(mutex_);
    setupFails_ = setupFails;
    hidFails_ = hidFails;
}

void VirtualHidBus::NotifyChange() {
    PostChange();
}

std::size_t VirtualHidBus::CallCount(const std::string& operation) const {
    std::lock_guard lock(mutex_);
    auto it = calls_.find(operation);
    return it == calls_.end() ? 0 : it->second;
}

void VirtualHidBus::ResetCallCounts() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::size_t VirtualHidBus::OpenHandles(int id) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(handles_.begin(), handles_.end(), [&](const auto& h) { return h.second->Device->Id == id; }));
}

int VirtualHidBus::SetupReferences() const {
    std::lock_guard lock(mutex_);
    return setupRefs_;
}

// ---------------------------------------------------------------------------
// Internals

void VirtualHidBus::Count(const char* operation) {
    ++calls_[operation];
}

std::shared_ptr<VirtualHidBus::Handle> VirtualHidBus::FindHandle(THidHandle handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        lastError = ERROR_INVALID_HANDLE_CODE;
        return nullptr;
    }
    return it->second;
}

void VirtualHidBus::PostChange() {
    // Posting only queues a call on the GUI thread, so it is safe under the
    // lock that keeps a window from being destroyed meanwhile.
    std::lock_guard lock(mutex_);
    for (auto* window : windows_) window->PostMessage(HidDeviceChangeMessage, HidDevNodesChanged, 0);
}

// ---------------------------------------------------------------------------
// THidPlatform

bool VirtualHidBus::LoadSetupLibrary() {
    std::lock_guard lock(mutex_);
    Count("LoadSetupLibrary");
    if (setupFails_) return false;
    ++setupRefs_;
    return true;
}

void VirtualHidBus::UnloadSetupLibrary() {
    std::lock_guard lock(mutex_);
    Count("UnloadSetupLibrary");
    if (setupRefs_ > 0) --setupRefs_;
}

bool VirtualHidBus::LoadHidLibrary() {
    std::lock_guard lock(mutex_);
    Count("LoadHidLibrary");
    if (hidFails_) return false;
    hidLoaded_ = true;
    return true;
}

void VirtualHidBus::UnloadHidLibrary() {
    std::lock_guard lock(mutex_);
    Count("UnloadHidLibrary");
    hidLoaded_ = false;
}

bool VirtualHidBus::HidLibraryLoaded() const {
    std::lock_guard lock(mutex_);
    return hidLoaded_;
}

THidGuid VirtualHidBus::GetHidGuid() {
    return DefaultHidGuid;
}

bool VirtualHidBus::ListInterfaces(const THidGuid&, std::vector<THidInterfaceRecord>& out) {
    std::lock_guard lock(mutex_);
    Count("ListInterfaces");
    out.clear();
    if (listingFails_) {
        lastError = ERROR_INVALID_HANDLE_CODE;
        return false;
    }
    for (const auto& [id, board] : boards_) {
        if (!board->Plugged) continue;
        THidInterfaceRecord record;
        record.InstanceHandle = board->InstanceHandle;
        record.InterfacePath = board->Description.Path;
        record.Properties.Class = "HIDClass";
        record.Properties.DeviceDesc = "Virtual HID device";
        out.push_back(std::move(record));
    }
    return true;
}

THidHandle VirtualHidBus::Open(const std::string& path, THidOpenMode mode) {
    std::lock_guard lock(mutex_);
    Count("Open");
    auto it = std::find_if(boards_.begin(), boards_.end(), [&](const auto& entry) {
        return entry.second->Plugged && entry.second->Description.Path == path;
    });
    if (it == boards_.end()) {
        lastError = ERROR_FILE_NOT_FOUND_CODE;
        return InvalidHidHandle;
    }
    const auto& board = it->second;
    if (board->Faults.OpenFails) {
        lastError = ERROR_GEN_FAILURE_CODE;
        return InvalidHidHandle;
    }
    if (mode != THidOpenMode::QueryOnly && !board->Description.ReadWriteGranted) {
        lastError = ERROR_ACCESS_DENIED_CODE;
        return InvalidHidHandle;
    }
    auto handle = std::make_shared<Handle>();
    handle->Id = nextHandle_++;
    handle->Device = board;
    handle->Mode = mode;
    handles_[handle->Id] = handle;
    return handle->Id;
}

void VirtualHidBus::Close(THidHandle handle) {
    {
        std::lock_guard lock(mutex_);
        Count("Close");
        if (handles_.erase(handle) == 0) return;
        // Closing a handle aborts the reads pending on it.
        for (auto& read : pendingReads_) {
            if (read->HandleId == handle && !read->Finished) {
                read->Finished = true;
                read->Error = ERROR_OPERATION_ABORTED_CODE;
            }
        }
    }
    changed_.notify_all();
}

bool VirtualHidBus::GetAttributes(THidHandle handle, THidAttributes& attributes) {
    std::lock_guard lock(mutex_);
    Count("GetAttributes");
    auto h = FindHandle(handle);
    if (!h) return false;
    if (!h->Device->Plugged) {
        lastError = ERROR_DEVICE_NOT_CONNECTED_CODE;
        return false;
    }
    if (h->Device->Faults.AttributesFail) {
        lastError = ERROR_GEN_FAILURE_CODE;
        return false;
    }
    attributes.VendorID = h->Device->Description.VendorID;
    attributes.ProductID = h->Device->Description.ProductID;
    attributes.VersionNumber = h->Device->Description.VersionNumber;
    return true;
}

bool VirtualHidBus::GetPreparsedData(THidHandle handle, THidPreparsedData& data) {
    std::lock_guard lock(mutex_);
    Count("GetPreparsedData");
    auto h = FindHandle(handle);
    if (!h) return false;
    if (!h->Device->Plugged || h->Device->Faults.PreparsedFails) {
        lastError = ERROR_GEN_FAILURE_CODE;
        return false;
    }
    data = nextPreparsed_++;
    preparsed_[data] = h->Device->Id;
    return true;
}

void VirtualHidBus::FreePreparsedData(THidPreparsedData data) {
    std::lock_guard lock(mutex_);
    Count("FreePreparsedData");
    preparsed_.erase(data);
}

bool VirtualHidBus::GetCaps(THidPreparsedData data, THidCaps& caps) {
    std::lock_guard lock(mutex_);
    Count("GetCaps");
    auto it = preparsed_.find(data);
    if (it == preparsed_.end()) return false;
    auto board = boards_.find(it->second);
    if (board == boards_.end()) return false;
    const auto& description = board->second->Description;
    caps = THidCaps{};
    caps.UsagePage = 0xFF00;
    caps.Usage = 0x0001;
    caps.InputReportByteLength = description.InputReportByteLength;
    caps.OutputReportByteLength = description.OutputReportByteLength;
    caps.NumberLinkCollectionNodes = 1;
    return true;
}

bool VirtualHidBus::GetIndexedString(THidHandle handle, std::uint32_t index, void* buffer, std::uint32_t bufferBytes) {
    std::lock_guard lock(mutex_);
    Count("GetIndexedString");
    auto h = FindHandle(handle);
    if (!h) return false;
    const auto& board = *h->Device;
    if (!board.Plugged) {
        lastError = ERROR_DEVICE_NOT_CONNECTED_CODE;
        return false;
    }
    if (index == 0) {
        if (!board.Description.LanguagesReadable || board.Description.Languages.empty()) {
            lastError = ERROR_NOT_SUPPORTED_CODE;
            return false;
        }
        PutWide(buffer, bufferBytes,
                std::u16string(board.Description.Languages.begin(), board.Description.Languages.end()));
        return true;
    }
    auto text = board.Description.Strings.find(static_cast<std::uint8_t>(index));
    if (index > 255 || text == board.Description.Strings.end()) {
        lastError = ERROR_GEN_FAILURE_CODE;
        return false;
    }
    PutWide(buffer, bufferBytes, text->second);
    return true;
}

bool VirtualHidBus::GetSerialNumberString(THidHandle handle, void* buffer, std::uint32_t bufferBytes) {
    std::lock_guard lock(mutex_);
    Count("GetSerialNumberString");
    auto h = FindHandle(handle);
    if (!h) return false;
    const auto& board = *h->Device;
    if (!board.Plugged) {
        lastError = ERROR_DEVICE_NOT_CONNECTED_CODE;
        return false;
    }
    if (board.Faults.SerialFails || board.Description.Serial.empty()) {
        lastError = ERROR_GEN_FAILURE_CODE;
        return false;
    }
    PutWide(buffer, bufferBytes, board.Description.Serial);
    return true;
}

bool VirtualHidBus::WriteFile(THidHandle handle, const void* data, std::uint32_t count, std::uint32_t& written) {
    std::shared_ptr<const TWriteObserver> observer;
    std::vector<std::uint8_t> report;
    {
        std::lock_guard lock(mutex_);
        Count("WriteFile");
        auto h = FindHandle(handle);
        if (!h) return false;
        auto& board = *h->Device;
        if (h->Mode == THidOpenMode::QueryOnly || h->Mode == THidOpenMode::OverlappedRead) {
            lastError = ERROR_ACCESS_DENIED_CODE;
            return false;
        }
        if (!board.Plugged) {
            lastError = ERROR_DEVICE_NOT_CONNECTED_CODE;
            return false;
        }
        if (board.Faults.WriteFails) {
            lastError = ERROR_GEN_FAILURE_CODE;
            return false;
        }
        // The HID class driver takes exactly one whole output report per write.
        if (board.Description.OutputReportByteLength == 0 || count != board.Description.OutputReportByteLength) {
            lastError = ErrorInvalidParameter;
            return false;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        board.Written.emplace_back(bytes, bytes + count);
        written = count;
        observer = board.Observer;
        report = board.Written.back();
    }
    changed_.notify_all();
    if (observer) (*observer)(report);
    return true;
}

bool VirtualHidBus::ReadFileEx(THidHandle handle, void* buffer, std::uint32_t count, THidOverlapped& overlapped,
                               THidReadCompletion routine) {
    std::lock_guard lock(mutex_);
    Count("ReadFileEx");
    auto h = FindHandle(handle);
    if (!h) return false;
    if (h->Mode != THidOpenMode::OverlappedRead) {
        lastError = ERROR_ACCESS_DENIED_CODE;
        return false;
    }
    if (!h->Device->Plugged) {
        lastError = ERROR_DEVICE_NOT_CONNECTED_CODE;
        return false;
    }
    if (h->Device->Faults.ReadStartFails) {
        lastError = ERROR_GEN_FAILURE_CODE;
        return false;
    }
    auto read = std::make_shared<PendingRead>();
    read->Owner = std::this_thread::get_id();
    read->HandleId = handle;
    read->Device = h->Device;
    read->Buffer = buffer;
    read->Count = count;
    read->Overlapped = &overlapped;
    read->Routine = routine;
    overlapped.Internal = StatusPending;
    overlapped.InternalHigh = 0;
    pendingReads_.push_back(std::move(read));
    return true;
}

std::uint32_t VirtualHidBus::SleepEx(std::uint32_t milliseconds) {
    const auto self = std::this_thread::get_id();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::vector<std::shared_ptr<PendingRead>> completed;
    {
        std::unique_lock lock(mutex_);
        Count("SleepEx");
        // A read of this thread completes when its device has a report for it,
        // or when it was ended by a close, a cancel or an unplug.
        auto collect = [&] {
            for (auto it = pendingReads_.begin(); it != pendingReads_.end();) {
                auto& read = *it;
                if (read->Owner != self) {
                    ++it;
                    continue;
                }
                if (read->Finished) {
                    read->Overlapped->Internal = read->Error;
                    read->Overlapped->InternalHigh = 0;
                } else if (!read->Device->Input.empty()) {
                    auto report = std::move(read->Device->Input.front());
                    read->Device->Input.pop_front();
                    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(report.size(), read->Count));
                    if (n > 0) std::memcpy(read->Buffer, report.data(), n);
                    read->Overlapped->Internal = 0;
                    read->Overlapped->InternalHigh = n;
                } else {
                    ++it;
                    continue;
                }
                completed.push_back(std::move(read));
                it = pendingReads_.erase(it);
            }
            return !completed.empty();
        };
        changed_.wait_until(lock, deadline, collect);
    }
    if (completed.empty()) return HidWaitTimeout;
    for (auto& read : completed) {
        if (read->Routine) {
            read->Routine(read->Finished ? read->Error : 0, static_cast<std::uint32_t>(read->Overlapped->InternalHigh),
                          read->Overlapped);
        }
    }
    return HidWaitIoCompletion;
}

bool VirtualHidBus::GetOverlappedResult(THidHandle handle, THidOverlapped& overlapped, std::uint32_t& transferred) {
    std::lock_guard lock(mutex_);
    Count("GetOverlappedResult");
    if (!FindHandle(handle)) return false;
    if (overlapped.Internal == StatusPending) {
        lastError = ErrorIoIncomplete;
        return false;
    }
    if (overlapped.Internal != 0) {
        lastError = static_cast<std::uint32_t>(overlapped.Internal);
        transferred = 0;
        return false;
    }
    transferred = static_cast<std::uint32_t>(overlapped.InternalHigh);
    return true;
}

bool VirtualHidBus::CancelIo(THidHandle handle) {
    std::lock_guard lock(mutex_);
    Count("CancelIo");
    if (!FindHandle(handle)) return false;
    const auto self = std::this_thread::get_id();
    // The calling thread's reads end at once; their buffers are never written again.
    for (auto it = pendingReads_.begin(); it != pendingReads_.end();) {
        if ((*it)->HandleId == handle && (*it)->Owner == self) {
            (*it)->Overlapped->Internal = ERROR_OPERATION_ABORTED_CODE;
            it = pendingReads_.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

std::uint32_t VirtualHidBus::GetLastError() {
    return lastError;
}

std::unique_ptr<THidNotifyWindow> VirtualHidBus::CreateNotifyWindow(TGuiThread& gui,
                                                                    THidNotifyWindow::Handler handler) {
    auto window = std::make_unique<NotifyWindow>(*this, gui, std::move(handler));
    std::lock_guard lock(mutex_);
    Count("CreateNotifyWindow");
    windows_.insert(window.get());
    return window;
}

}  // namespace lumidra::hid
