// The device layer's platform on Linux: hidraw nodes, found with libudev.
//
// - Binding: the "setup library" is a udev context (reference-counted); the
//   "HID library" needs nothing beyond it. Options can make either fail.
// - Listing: the hidraw nodes; the path is the device node, the instance
//   handle a number that stays the same while the node's device stays
//   plugged in and changes when it is plugged in again.
// - Handles: read-write opens the node read-write; query-only never opens it
//   (a user without access to the node still gets its identity, from sysfs);
//   the overlapped modes open it read-only or write-only, non-blocking.
// - Identity: vendor and product from the node (or HID_ID in sysfs), the
//   release number from the USB device, strings from the USB device's sysfs
//   strings mapped to the string indexes its device descriptor names.
// - Reads: overlapped reads with completion routines run in the reading
//   thread's alertable wait (see DescriptorIo.h). Each input report arrives
//   with its report-ID byte first, 0 for a device without numbered reports.
// - Notifications: a libudev monitor thread posts HidDevNodesChanged for
//   every hidraw node that comes or goes.
#pragma once

#include "hid/HidPlatform.h"
#include "hid/linux/DescriptorIo.h"
#include "hid/linux/ReportDescriptor.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct udev;

namespace lumidra::hid {

struct LinuxHidOptions {
    bool SetupBindingFails = false;  // LoadSetupLibrary fails, as with no udev
    bool HidBindingFails = false;    // LoadHidLibrary fails
    // Where sysfs is mounted; tests point it at a tree of their own.
    std::string SysfsRoot = "/sys";
};

class LinuxHidPlatform final : public THidPlatform {
public:
    explicit LinuxHidPlatform(LinuxHidOptions options = {});
    ~LinuxHidPlatform() override;
    LinuxHidPlatform(const LinuxHidPlatform&) = delete;
    LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;

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

    // Takes over an open descriptor as a handle of `mode`, e.g. one end of a
    // socket pair standing in for a device node (reports keep their
    // boundaries on SOCK_SEQPACKET); `numberedReports` tells how reads frame
    // the report-ID byte. The descriptor is closed with the handle.
    THidHandle AdoptDescriptor(int fd, THidOpenMode mode, bool numberedReports);

    std::size_t OpenHandleCount() const { return handles_.Size(); }
    int SetupReferences() const;

private:
    std::shared_ptr<hidraw::TOpenFile> FindOrFail(THidHandle handle);
    std::string SysPathOfDescriptor(int fd) const;
    std::uint32_t InstanceHandleFor(const std::string& key);  // with mutex_ held

    const LinuxHidOptions options_;
    mutable std::mutex mutex_;  // guards everything below but the handle table
    udev* udev_ = nullptr;      // libudev contexts are not thread-safe: used under mutex_
    int setupRefs_ = 0;
    bool hidLoaded_ = false;
    std::map<std::string, std::uint32_t> instances_;
    std::uint32_t nextInstance_ = 1;
    std::map<THidPreparsedData, hidraw::TReportLayout> preparsed_;
    THidPreparsedData nextPreparsed_ = 1;
    hidraw::THandleTable handles_;
};

}  // namespace lumidra::hid
