#include "hid/windows/WindowsHidPlatform.h"

#include "hid/GuiThread.h"
#include "hid/windows/WindowsInterfaceListing.h"
#include "hid/windows/WindowsNotifyWindow.h"

#include "hid/windows/WindowsApi.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <iterator>
#include <vector>

namespace lumidra::hid {

// The layer's records are handed to the system as they are.
static_assert(sizeof(THidOverlapped) == sizeof(OVERLAPPED));
static_assert(offsetof(THidOverlapped, Internal) == offsetof(OVERLAPPED, Internal));
static_assert(offsetof(THidOverlapped, InternalHigh) == offsetof(OVERLAPPED, InternalHigh));
static_assert(offsetof(THidOverlapped, Offset) == offsetof(OVERLAPPED, Offset));
static_assert(offsetof(THidOverlapped, OffsetHigh) == offsetof(OVERLAPPED, OffsetHigh));
static_assert(offsetof(THidOverlapped, hEvent) == offsetof(OVERLAPPED, hEvent));
static_assert(sizeof(THidAttributes) == sizeof(HIDD_ATTRIBUTES));
static_assert(offsetof(THidAttributes, VendorID) == offsetof(HIDD_ATTRIBUTES, VendorID));
static_assert(offsetof(THidAttributes, ProductID) == offsetof(HIDD_ATTRIBUTES, ProductID));
static_assert(offsetof(THidAttributes, VersionNumber) == offsetof(HIDD_ATTRIBUTES, VersionNumber));
static_assert(sizeof(THidCaps) == sizeof(HIDP_CAPS));
static_assert(offsetof(THidCaps, InputReportByteLength) == offsetof(HIDP_CAPS, InputReportByteLength));
static_assert(offsetof(THidCaps, OutputReportByteLength) == offsetof(HIDP_CAPS, OutputReportByteLength));
static_assert(offsetof(THidCaps, NumberFeatureDataIndices) == offsetof(HIDP_CAPS, NumberFeatureDataIndices));
static_assert(WAIT_IO_COMPLETION == 192);

namespace {

// Never reused while the process runs, across all platform objects.
std::atomic<THidHandle> nextHandle{1};

GUID ToGuid(const THidGuid& guid) {
    GUID result{guid.Data1, guid.Data2, guid.Data3, {}};
    std::copy(std::begin(guid.Data4), std::end(guid.Data4), std::begin(result.Data4));
    return result;
}

THidGuid FromGuid(const GUID& guid) {
    THidGuid result;
    result.Data1 = guid.Data1;
    result.Data2 = guid.Data2;
    result.Data3 = guid.Data3;
    std::copy(std::begin(guid.Data4), std::end(guid.Data4), std::begin(result.Data4));
    return result;
}

// ReadFileEx wants a routine of the system's calling convention (__stdcall on
// 32-bit Windows); the layer's routine is a plain function. A completion runs
// on the thread that started the read, so that thread's own table tells which
// routine belongs to a finished record.
struct TPendingRoutine {
    THidOverlapped* Overlapped;
    THidReadCompletion Routine;
};
thread_local std::vector<TPendingRoutine> pendingRoutines;

THidReadCompletion TakeRoutine(THidOverlapped* overlapped) {
    const auto it = std::find_if(pendingRoutines.begin(), pendingRoutines.end(),
                                 [&](const auto& entry) { return entry.Overlapped == overlapped; });
    if (it == pendingRoutines.end()) return nullptr;
    const THidReadCompletion routine = it->Routine;
    pendingRoutines.erase(it);
    return routine;
}

VOID CALLBACK ReadCompleted(DWORD errorCode, DWORD transferred, LPOVERLAPPED overlapped) {
    auto* record = reinterpret_cast<THidOverlapped*>(overlapped);
    if (const THidReadCompletion routine = TakeRoutine(record)) {
        routine(errorCode, transferred, record);
    }
}

}  // namespace

// A system handle, closed when the last user lets go of it.
class WindowsHidPlatform::TOpenHandle {
public:
    explicit TOpenHandle(HANDLE handle) : handle_(handle) {}
    TOpenHandle(const TOpenHandle&) = delete;
    TOpenHandle& operator=(const TOpenHandle&) = delete;
    ~TOpenHandle() { CloseHandle(handle_); }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// The HID library's calls this platform makes.
struct WindowsHidPlatform::THidApi {
    decltype(&::HidD_GetHidGuid) GetHidGuid = nullptr;
    decltype(&::HidD_GetAttributes) GetAttributes = nullptr;
    decltype(&::HidD_GetPreparsedData) GetPreparsedData = nullptr;
    decltype(&::HidD_FreePreparsedData) FreePreparsedData = nullptr;
    decltype(&::HidP_GetCaps) GetCaps = nullptr;
    decltype(&::HidD_GetIndexedString) GetIndexedString = nullptr;
    decltype(&::HidD_GetSerialNumberString) GetSerialNumberString = nullptr;
};

namespace {

// The thread's last error as the system call left it, kept across the
// bookkeeping done after the call (releasing a handle, a lock).
template <class Release>
void KeepingLastError(Release release) {
    const DWORD error = ::GetLastError();
    release();
    ::SetLastError(error);
}

}  // namespace

WindowsHidPlatform::WindowsHidPlatform(TWindowsBindingConfig config)
    : config_(std::move(config)), hidApi_(std::make_unique<THidApi>()) {}

WindowsHidPlatform::~WindowsHidPlatform() {
    {
        std::lock_guard lock(mutex_);
        handles_.clear();
    }
    UnloadHidLibrary();
    setup_.Unbind();
}

std::uint16_t WindowsHidPlatform::NtVersion() const {
    return config_.NtVersion ? *config_.NtVersion : SystemNtVersion();
}

// --- binding ----------------------------------------------------------------

bool WindowsHidPlatform::LoadSetupLibrary() {
    if (setupReferences_ == 0 && !setup_.Bind(config_.Setup, NtVersion())) return false;
    ++setupReferences_;
    return true;
}

void WindowsHidPlatform::UnloadSetupLibrary() {
    if (setupReferences_ == 0) return;
    if (--setupReferences_ == 0) setup_.Unbind();
}

bool WindowsHidPlatform::SetupLibraryLoaded() const {
    return setup_.Bound();
}

bool WindowsHidPlatform::LoadHidLibrary() {
    if (hid_.Bound()) return true;
    if (!hid_.Bind(config_.Hid, NtVersion())) return false;
    BindHidApi();
    return true;
}

void WindowsHidPlatform::BindHidApi() {
    auto& api = *hidApi_;
    api.GetHidGuid = hid_.As<decltype(api.GetHidGuid)>("HidD_GetHidGuid");
    api.GetAttributes = hid_.As<decltype(api.GetAttributes)>("HidD_GetAttributes");
    api.GetPreparsedData = hid_.As<decltype(api.GetPreparsedData)>("HidD_GetPreparsedData");
    api.FreePreparsedData = hid_.As<decltype(api.FreePreparsedData)>("HidD_FreePreparsedData");
    api.GetCaps = hid_.As<decltype(api.GetCaps)>("HidP_GetCaps");
    api.GetIndexedString = hid_.As<decltype(api.GetIndexedString)>("HidD_GetIndexedString");
    api.GetSerialNumberString = hid_.As<decltype(api.GetSerialNumberString)>("HidD_GetSerialNumberString");
}

void WindowsHidPlatform::UnloadHidLibrary() {
    *hidApi_ = THidApi{};
    hid_.Unbind();
}

bool WindowsHidPlatform::HidLibraryLoaded() const {
    return hid_.Bound();
}

THidGuid WindowsHidPlatform::GetHidGuid() {
    if (!hidApi_->GetHidGuid) return DefaultHidGuid;
    GUID guid{};
    hidApi_->GetHidGuid(&guid);
    return FromGuid(guid);
}

// --- listing ----------------------------------------------------------------

bool WindowsHidPlatform::ListInterfaces(const THidGuid& interfaceClass, std::vector<THidInterfaceRecord>& out) {
    TSetupApi api;
    api.GetClassDevs = setup_.As<decltype(api.GetClassDevs)>("SetupDiGetClassDevsA");
    api.EnumDeviceInterfaces = setup_.As<decltype(api.EnumDeviceInterfaces)>("SetupDiEnumDeviceInterfaces");
    api.GetDeviceInterfaceDetail =
        setup_.As<decltype(api.GetDeviceInterfaceDetail)>("SetupDiGetDeviceInterfaceDetailA");
    api.GetDeviceRegistryProperty =
        setup_.As<decltype(api.GetDeviceRegistryProperty)>("SetupDiGetDeviceRegistryPropertyA");
    api.DestroyDeviceInfoList = setup_.As<decltype(api.DestroyDeviceInfoList)>("SetupDiDestroyDeviceInfoList");
    return ListDeviceInterfaces(api, ToGuid(interfaceClass), out);
}

// --- handles ----------------------------------------------------------------

THidHandle WindowsHidPlatform::Open(const std::string& path, THidOpenMode mode) {
    DWORD access = 0;
    DWORD flags = 0;
    switch (mode) {
        case THidOpenMode::ReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
        case THidOpenMode::QueryOnly: access = 0; break;
        case THidOpenMode::OverlappedRead:
            access = GENERIC_READ;
            flags = FILE_FLAG_OVERLAPPED;
            break;
        case THidOpenMode::OverlappedWrite:
            access = GENERIC_WRITE;
            flags = FILE_FLAG_OVERLAPPED;
            break;
    }
    HANDLE system =
        CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (system == INVALID_HANDLE_VALUE) return InvalidHidHandle;
    THidHandle handle = InvalidHidHandle;
    KeepingLastError([&] {
        auto open = std::make_shared<TOpenHandle>(system);
        handle = nextHandle.fetch_add(1);
        std::lock_guard lock(mutex_);
        handles_.emplace(handle, std::move(open));
    });
    return handle;
}

void WindowsHidPlatform::Close(THidHandle handle) {
    std::shared_ptr<TOpenHandle> closing;
    {
        std::lock_guard lock(mutex_);
        const auto it = handles_.find(handle);
        if (it == handles_.end()) return;
        closing = std::move(it->second);
        handles_.erase(it);
    }
    // The system handle closes here, or when a call still using it returns.
}

std::size_t WindowsHidPlatform::OpenHandles() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

std::shared_ptr<WindowsHidPlatform::TOpenHandle> WindowsHidPlatform::Find(THidHandle handle) const {
    std::shared_ptr<TOpenHandle> open;
    {
        std::lock_guard lock(mutex_);
        const auto it = handles_.find(handle);
        if (it != handles_.end()) open = it->second;
    }
    if (!open) ::SetLastError(ERROR_INVALID_HANDLE);
    return open;
}

// --- device calls -----------------------------------------------------------

bool WindowsHidPlatform::GetAttributes(THidHandle handle, THidAttributes& attributes) {
    if (!hidApi_->GetAttributes) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    auto open = Find(handle);
    if (!open) return false;
    const bool ok = hidApi_->GetAttributes(open->Get(), reinterpret_cast<HIDD_ATTRIBUTES*>(&attributes)) != FALSE;
    KeepingLastError([&] { open.reset(); });
    return ok;
}

bool WindowsHidPlatform::GetPreparsedData(THidHandle handle, THidPreparsedData& data) {
    if (!hidApi_->GetPreparsedData) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    auto open = Find(handle);
    if (!open) return false;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    const bool ok = hidApi_->GetPreparsedData(open->Get(), &preparsed) != FALSE;
    KeepingLastError([&] { open.reset(); });
    if (ok) data = reinterpret_cast<THidPreparsedData>(preparsed);
    return ok;
}

void WindowsHidPlatform::FreePreparsedData(THidPreparsedData data) {
    if (data == 0 || !hidApi_->FreePreparsedData) return;
    hidApi_->FreePreparsedData(reinterpret_cast<PHIDP_PREPARSED_DATA>(data));
}

bool WindowsHidPlatform::GetCaps(THidPreparsedData data, THidCaps& caps) {
    // The system reads through the pointer unchecked: no data, no call.
    if (data == 0 || !hidApi_->GetCaps) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return hidApi_->GetCaps(reinterpret_cast<PHIDP_PREPARSED_DATA>(data), reinterpret_cast<HIDP_CAPS*>(&caps)) ==
           HIDP_STATUS_SUCCESS;
}

bool WindowsHidPlatform::GetIndexedString(THidHandle handle, std::uint32_t index, void* buffer,
                                          std::uint32_t bufferBytes) {
    if (!hidApi_->GetIndexedString) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    auto open = Find(handle);
    if (!open) return false;
    const bool ok = hidApi_->GetIndexedString(open->Get(), index, buffer, bufferBytes) != FALSE;
    KeepingLastError([&] { open.reset(); });
    return ok;
}

bool WindowsHidPlatform::GetSerialNumberString(THidHandle handle, void* buffer, std::uint32_t bufferBytes) {
    if (!hidApi_->GetSerialNumberString) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    auto open = Find(handle);
    if (!open) return false;
    const bool ok = hidApi_->GetSerialNumberString(open->Get(), buffer, bufferBytes) != FALSE;
    KeepingLastError([&] { open.reset(); });
    return ok;
}

// --- reading and writing ----------------------------------------------------

bool WindowsHidPlatform::WriteFile(THidHandle handle, const void* data, std::uint32_t count, std::uint32_t& written) {
    auto open = Find(handle);
    if (!open) return false;
    DWORD bytes = 0;
    const bool ok = ::WriteFile(open->Get(), data, count, &bytes, nullptr) != FALSE;
    KeepingLastError([&] { open.reset(); });
    written = bytes;
    return ok;
}

bool WindowsHidPlatform::ReadFileEx(THidHandle handle, void* buffer, std::uint32_t count, THidOverlapped& overlapped,
                                    THidReadCompletion routine) {
    auto open = Find(handle);
    if (!open) return false;
    THidOverlapped* record = &overlapped;
    TakeRoutine(record);  // a stale entry of a read that never completed
    pendingRoutines.push_back({record, routine});
    const bool ok =
        ::ReadFileEx(open->Get(), buffer, count, reinterpret_cast<OVERLAPPED*>(record), &ReadCompleted) != FALSE;
    KeepingLastError([&] {
        if (!ok) TakeRoutine(record);
        open.reset();
    });
    return ok;
}

std::uint32_t WindowsHidPlatform::SleepEx(std::uint32_t milliseconds) {
    return ::SleepEx(milliseconds, TRUE) == WAIT_IO_COMPLETION ? 192u : HidWaitTimeout;
}

bool WindowsHidPlatform::GetOverlappedResult(THidHandle handle, THidOverlapped& overlapped,
                                             std::uint32_t& transferred) {
    auto open = Find(handle);
    if (!open) return false;
    DWORD bytes = 0;
    const bool ok =
        ::GetOverlappedResult(open->Get(), reinterpret_cast<OVERLAPPED*>(&overlapped), &bytes, FALSE) != FALSE;
    KeepingLastError([&] { open.reset(); });
    transferred = ok ? bytes : 0;
    return ok;
}

bool WindowsHidPlatform::CancelIo(THidHandle handle) {
    // Looked up when needed: systems without it simply cannot cancel.
    using TCancelIo = BOOL(WINAPI*)(HANDLE);
    HMODULE kernel = GetModuleHandleA(config_.KernelLibrary.c_str());
    const auto cancel = kernel ? reinterpret_cast<TCancelIo>(reinterpret_cast<void*>(
                                     GetProcAddress(kernel, config_.CancelIoEntryPoint.c_str())))
                               : nullptr;
    if (!cancel) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    auto open = Find(handle);
    if (!open) return false;
    const bool ok = cancel(open->Get()) != FALSE;
    KeepingLastError([&] { open.reset(); });
    return ok;
}

std::uint32_t WindowsHidPlatform::GetLastError() {
    return ::GetLastError();
}

// --- notifications ----------------------------------------------------------

std::unique_ptr<THidNotifyWindow> WindowsHidPlatform::CreateNotifyWindow(TGuiThread& gui,
                                                                         THidNotifyWindow::Handler handler) {
    return TWindowsNotifyWindow::Create(gui, std::move(handler));
}

}  // namespace lumidra::hid
