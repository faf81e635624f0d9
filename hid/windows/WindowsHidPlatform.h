// The device layer's platform on the Windows API.
//
// The setup and HID libraries are bound at run time, so a system without
// them (or with an entry point missing) leaves the controller inert instead
// of failing to start. Device handles are handed out as numbers that are
// never reused, so a handle closed by the GUI thread can never reach another
// device through a reader that still holds its number. Usable from the GUI
// thread and the readers at once; binding and unbinding belong to the GUI
// thread, while no reader runs.
#pragma once

#include "hid/HidPlatform.h"
#include "hid/windows/WindowsLibraryBinding.h"

#include <map>
#include <memory>
#include <mutex>

namespace lumidra::hid {

// The window class of the hidden notification windows.
inline constexpr char WindowsNotifyWindowClass[] = "LumidraHidNotifyWindow";

class WindowsHidPlatform final : public THidPlatform {
public:
    explicit WindowsHidPlatform(TWindowsBindingConfig config = {});
    // Closes what is still open and unbinds both libraries.
    ~WindowsHidPlatform() override;

    int SetupReferences() const { return setupReferences_; }
    bool SetupLibraryLoaded() const;
    // Device handles open now.
    std::size_t OpenHandles() const;

    bool LoadSetupLibrary() override;
    void UnloadSetupLibrary() override;
    bool LoadHidLibrary() override;
    void UnloadHidLibrary() override;
    bool HidLibraryLoaded() const override;

    THidGuid GetHidGuid() override;
    bool ListInterfaces(const THidGuid& interfaceClass, std::vector<THidInterfaceRecord>& out) override;

    THidHandle Open(const std::string& path, THidOpenMode mode) override;
    void Close(THidHandle handle) override;

    bool GetAttributes(THidHandle handle, THidAttributes& attributes) override;
    bool GetPreparsedData(THidHandle handle, THidPreparsedData& data) override;
    void FreePreparsedData(THidPreparsedData data) override;
    bool GetCaps(THidPreparsedData data, THidCaps& caps) override;
    bool GetIndexedString(THidHandle handle, std::uint32_t index, void* buffer, std::uint32_t bufferBytes) override;
    bool GetSerialNumberString(THidHandle handle, void* buffer, std::uint32_t bufferBytes) override;

    bool WriteFile(THidHandle handle, const void* data, std::uint32_t count, std::uint32_t& written) override;
    bool ReadFileEx(THidHandle handle, void* buffer, std::uint32_t count, THidOverlapped& overlapped,
                    THidReadCompletion routine) override;
    std::uint32_t SleepEx(std::uint32_t milliseconds) override;
    bool GetOverlappedResult(THidHandle handle, THidOverlapped& overlapped, std::uint32_t& transferred) override;
    bool CancelIo(THidHandle handle) override;
    std::uint32_t GetLastError() override;

    std::unique_ptr<THidNotifyWindow> CreateNotifyWindow(TGuiThread& gui, THidNotifyWindow::Handler handler) override;

private:
    class TOpenHandle;
    struct THidApi;

    std::uint16_t NtVersion() const;
    // The open handle behind a number; null (last error "invalid handle") when
    // there is none. Holding it keeps the system handle open.
    std::shared_ptr<TOpenHandle> Find(THidHandle handle) const;
    void BindHidApi();

    const TWindowsBindingConfig config_;
    TWindowsBoundLibrary setup_;
    TWindowsBoundLibrary hid_;
    int setupReferences_ = 0;
    std::unique_ptr<THidApi> hidApi_;

    mutable std::mutex mutex_;
    std::map<THidHandle, std::shared_ptr<TOpenHandle>> handles_;
};

}  // namespace lumidra::hid
