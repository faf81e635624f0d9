#include "hid/linux/LinuxHidPlatform.h"

#include "hid/linux/HidIdentity.h"
#include "hid/linux/HidSysfs.h"
#include "hid/linux/NotifyWindow.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace lumidra::hid {

using namespace hidraw;

namespace {

// The ioctl failed because the descriptor is no hidraw node (or the kernel
// is too old for the request), not because the device went away.
bool NotAHidrawRequest(int error) {
    return error == ENOTTY || error == EINVAL;
}

// The report descriptor, from the node when a descriptor is open on it,
// else from sysfs. Sets the last error when it cannot be had.
std::optional<std::vector<std::uint8_t>> ReadReportDescriptor(int fd, const std::string& sysPath) {
    if (fd >= 0) {
        int size = 0;
        if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0) {
            hidraw_report_descriptor descriptor{};
            descriptor.size =
                static_cast<std::uint32_t>(std::clamp(size, 0, static_cast<int>(HID_MAX_DESCRIPTOR_SIZE) - 1));
            if (::ioctl(fd, HIDIOCGRDESC, &descriptor) == 0)
                return std::vector<std::uint8_t>(descriptor.value, descriptor.value + descriptor.size);
        }
        if (!NotAHidrawRequest(errno)) {
            SetLastError(ErrorFromErrno(errno));
            return std::nullopt;
        }
    }
    if (sysPath.empty()) {
        SetLastError(ERROR_NOT_SUPPORTED_CODE);
        return std::nullopt;
    }
    auto bytes = ReadReportDescriptorFile(sysPath);
    if (!bytes) SetLastError(ERROR_DEVICE_NOT_CONNECTED_CODE);
    return bytes;
}

// The node's identity from sysfs; sets the last error when there is none.
std::optional<THidNodeIdentity> IdentityOf(const TOpenFile& file) {
    if (file.SysPath().empty()) {
        SetLastError(ERROR_NOT_SUPPORTED_CODE);
        return std::nullopt;
    }
    auto identity = ReadNodeIdentity(file.SysPath());
    if (!identity) SetLastError(ERROR_DEVICE_NOT_CONNECTED_CODE);
    return identity;
}

}  // namespace

LinuxHidPlatform::LinuxHidPlatform(LinuxHidOptions options) : options_(std::move(options)) {}

LinuxHidPlatform::~LinuxHidPlatform() {
    handles_.CloseAll();
    if (udev_) udev_unref(udev_);
}

// --- binding -----------------------------------------------------------------

bool LinuxHidPlatform::LoadSetupLibrary() {
    std::lock_guard lock(mutex_);
    if (setupRefs_ > 0) {
        ++setupRefs_;
        return true;
    }
    if (options_.SetupBindingFails) return false;
    udev_ = udev_new();
    if (!udev_) return false;
    setupRefs_ = 1;
    return true;
}

void LinuxHidPlatform::UnloadSetupLibrary() {
    std::lock_guard lock(mutex_);
    if (setupRefs_ == 0) return;
    if (--setupRefs_ == 0) {
        udev_unref(udev_);
        udev_ = nullptr;
    }
}

bool LinuxHidPlatform::LoadHidLibrary() {
    std::lock_guard lock(mutex_);
    if (hidLoaded_) return true;
    if (options_.HidBindingFails) return false;
    hidLoaded_ = true;
    return true;
}

void LinuxHidPlatform::UnloadHidLibrary() {
    std::lock_guard lock(mutex_);
    hidLoaded_ = false;
}

bool LinuxHidPlatform::HidLibraryLoaded() const {
    std::lock_guard lock(mutex_);
    return hidLoaded_;
}

int LinuxHidPlatform::SetupReferences() const {
    std::lock_guard lock(mutex_);
    return setupRefs_;
}

THidGuid LinuxHidPlatform::GetHidGuid() {
    return DefaultHidGuid;
}

// --- listing -----------------------------------------------------------------

// Numbers are never handed out twice, so one forgotten cannot come back as
// another device's.
std::uint32_t LinuxHidPlatform::InstanceHandleFor(const std::string& key) {
    auto [it, added] = instances_.try_emplace(key, nextInstance_);
    if (added) ++nextInstance_;
    return it->second;
}

bool LinuxHidPlatform::ListInterfaces(const THidGuid& interfaceClass, std::vector<THidInterfaceRecord>& out) {
    out.clear();
    if (!(interfaceClass == DefaultHidGuid)) return true;  // no interfaces of another class here

    std::lock_guard lock(mutex_);
    if (!udev_) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return false;
    }
    udev_enumerate* enumerate = udev_enumerate_new(udev_);
    if (!enumerate) {
        SetLastError(ERROR_GEN_FAILURE_CODE);
        return false;
    }
    if (udev_enumerate_add_match_subsystem(enumerate, "hidraw") < 0 || udev_enumerate_scan_devices(enumerate) < 0) {
        udev_enumerate_unref(enumerate);
        SetLastError(ERROR_GEN_FAILURE_CODE);
        return false;
    }
    std::set<std::string, std::less<>> listed;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        const char* sysPath = udev_list_entry_get_name(entry);
        udev_device* device = sysPath ? udev_device_new_from_syspath(udev_, sysPath) : nullptr;
        if (!device) continue;
        const char* devNode = udev_device_get_devnode(device);
        struct stat st {};
        if (devNode && ::stat(sysPath, &st) == 0) {
            // The sysfs path names the HID device, whose number the kernel
            // never hands out twice; the device number and the sysfs inode
            // tell a re-created node apart even so.
            const dev_t number = udev_device_get_devnum(device);
            const std::string key = std::string(sysPath) + '|' + std::to_string(major(number)) + ':' +
                                    std::to_string(minor(number)) + '|' + std::to_string(st.st_ino);
            THidInterfaceRecord record;
            record.InstanceHandle = InstanceHandleFor(key);
            record.InterfacePath = devNode;
            out.push_back(std::move(record));
            listed.insert(key);
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    // A device gone is gone for good (its key is never listed again): its
    // number is forgotten, or every plug would leave one behind for the run.
    std::erase_if(instances_, [&](const auto& instance) { return !listed.contains(instance.first); });
    return true;
}

// --- handles -----------------------------------------------------------------

std::string LinuxHidPlatform::SysPathOfDescriptor(int fd) const {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return {};
    return HidrawSysPath(options_.SysfsRoot, st.st_rdev);
}

std::shared_ptr<TOpenFile> LinuxHidPlatform::FindOrFail(THidHandle handle) {
    auto file = handles_.Find(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE_CODE);
    return file;
}

THidHandle LinuxHidPlatform::Open(const std::string& path, THidOpenMode mode) {
    if (mode == THidOpenMode::QueryOnly) {
        // Identity only: the node itself is never opened, so this works for
        // nodes the user has no access to.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            SetLastError(ErrorFromErrno(errno));
            return InvalidHidHandle;
        }
        std::string sysPath = S_ISCHR(st.st_mode) ? HidrawSysPath(options_.SysfsRoot, st.st_rdev) : "";
        if (sysPath.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND_CODE);
            return InvalidHidHandle;
        }
        return handles_.Add(std::make_shared<TOpenFile>(-1, mode, std::move(sysPath), false));
    }

    int flags = O_CLOEXEC;
    switch (mode) {
        case THidOpenMode::ReadWrite: flags |= O_RDWR; break;
        case THidOpenMode::OverlappedRead: flags |= O_RDONLY | O_NONBLOCK; break;
        case THidOpenMode::OverlappedWrite: flags |= O_WRONLY | O_NONBLOCK; break;
        case THidOpenMode::QueryOnly: break;
    }
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return InvalidHidHandle;
    }
    std::string sysPath = SysPathOfDescriptor(fd);
    bool numbered = false;
    if (mode == THidOpenMode::OverlappedRead) {
        // How a read frames the report-ID byte depends on the descriptor.
        const auto descriptor = ReadReportDescriptor(fd, sysPath);
        if (!descriptor) {
            ::close(fd);
            return InvalidHidHandle;
        }
        numbered = ParseReportDescriptor(*descriptor).NumberedReports;
    }
    return handles_.Add(std::make_shared<TOpenFile>(fd, mode, std::move(sysPath), numbered));
}

THidHandle LinuxHidPlatform::AdoptDescriptor(int fd, THidOpenMode mode, bool numberedReports) {
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return InvalidHidHandle;
    }
    if (mode == THidOpenMode::OverlappedRead || mode == THidOpenMode::OverlappedWrite) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
    return handles_.Add(std::make_shared<TOpenFile>(fd, mode, std::string(), numberedReports));
}

void LinuxHidPlatform::Close(THidHandle handle) {
    if (!handles_.Close(handle)) SetLastError(ERROR_INVALID_HANDLE_CODE);
}

// --- identity ----------------------------------------------------------------

bool LinuxHidPlatform::GetAttributes(THidHandle handle, THidAttributes& attributes) {
    const auto file = FindOrFail(handle);
    if (!file) return false;

    bool known = false;
    if (file->Fd() >= 0) {
        hidraw_devinfo info{};
        if (::ioctl(file->Fd(), HIDIOCGRAWINFO, &info) == 0) {
            // The kernel's structure has signed 16-bit IDs: 0xC04E reads as -16306.
            attributes.VendorID = static_cast<std::uint16_t>(info.vendor);
            attributes.ProductID = static_cast<std::uint16_t>(info.product);
            known = true;
        } else if (!NotAHidrawRequest(errno)) {
            SetLastError(ErrorFromErrno(errno));
            return false;
        }
    }
    const auto identity = file->SysPath().empty() ? std::nullopt : ReadNodeIdentity(file->SysPath());
    if (!known) {
        if (!identity) {
            SetLastError(file->SysPath().empty() ? ERROR_NOT_SUPPORTED_CODE : ERROR_DEVICE_NOT_CONNECTED_CODE);
            return false;
        }
        if (!identity->Id) {
            SetLastError(ERROR_NOT_SUPPORTED_CODE);
            return false;
        }
        attributes.VendorID = identity->Id->VendorID;
        attributes.ProductID = identity->Id->ProductID;
    }
    attributes.VersionNumber = identity && identity->Usb ? identity->Usb->BcdDevice : 0;
    return true;
}

bool LinuxHidPlatform::GetIndexedString(THidHandle handle, std::uint32_t index, void* buffer,
                                        std::uint32_t bufferBytes) {
    const auto file = FindOrFail(handle);
    if (!file) return false;
    const auto identity = IdentityOf(*file);
    if (!identity) return false;
    const auto text = IndexedString(*identity, index);
    if (!text) {
        SetLastError(ERROR_NOT_SUPPORTED_CODE);
        return false;
    }
    if (!CopyWideString(*text, buffer, bufferBytes)) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return false;
    }
    return true;
}

bool LinuxHidPlatform::GetSerialNumberString(THidHandle handle, void* buffer, std::uint32_t bufferBytes) {
    const auto file = FindOrFail(handle);
    if (!file) return false;

    std::optional<std::u16string> serial;
    if (file->Fd() >= 0) {
        char uniq[256] = {};
        const int n = ::ioctl(file->Fd(), HIDIOCGRAWUNIQ(sizeof uniq), uniq);
        if (n >= 0) {
            const std::size_t length = strnlen(uniq, sizeof uniq);
            if (length > 0) serial = Utf8ToUtf16({uniq, length});
        } else if (!NotAHidrawRequest(errno)) {
            SetLastError(ErrorFromErrno(errno));
            return false;
        }
    }
    if (!serial) {
        const auto identity = IdentityOf(*file);
        if (!identity) return false;
        serial = SerialNumberString(*identity);
    }
    if (!serial) {
        SetLastError(ERROR_NOT_SUPPORTED_CODE);
        return false;
    }
    if (!CopyWideString(*serial, buffer, bufferBytes)) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return false;
    }
    return true;
}

// --- capabilities ------------------------------------------------------------

bool LinuxHidPlatform::GetPreparsedData(THidHandle handle, THidPreparsedData& data) {
    const auto file = FindOrFail(handle);
    if (!file) return false;
    const auto descriptor = ReadReportDescriptor(file->Fd(), file->SysPath());
    if (!descriptor) return false;
    TReportLayout layout = ParseReportDescriptor(*descriptor);
    if (!layout.Ok()) {
        SetLastError(ERROR_GEN_FAILURE_CODE);
        return false;
    }
    std::lock_guard lock(mutex_);
    data = nextPreparsed_++;
    preparsed_.emplace(data, std::move(layout));
    return true;
}

void LinuxHidPlatform::FreePreparsedData(THidPreparsedData data) {
    std::lock_guard lock(mutex_);
    preparsed_.erase(data);
}

bool LinuxHidPlatform::GetCaps(THidPreparsedData data, THidCaps& caps) {
    std::lock_guard lock(mutex_);
    auto it = preparsed_.find(data);
    if (it == preparsed_.end()) {
        SetLastError(ERROR_INVALID_HANDLE_CODE);
        return false;
    }
    const TReportLayout& layout = it->second;
    caps = THidCaps{};
    caps.Usage = layout.Usage;
    caps.UsagePage = layout.UsagePage;
    caps.InputReportByteLength = layout.InputReportByteLength;
    caps.OutputReportByteLength = layout.OutputReportByteLength;
    caps.FeatureReportByteLength = layout.FeatureReportByteLength;
    caps.NumberLinkCollectionNodes = layout.CollectionCount;
    return true;
}

// --- I/O ---------------------------------------------------------------------

bool LinuxHidPlatform::WriteFile(THidHandle handle, const void* data, std::uint32_t count, std::uint32_t& written) {
    written = 0;
    const auto file = FindOrFail(handle);
    if (!file) return false;
    if (file->Fd() < 0 || file->Mode() == THidOpenMode::OverlappedRead) {
        SetLastError(ERROR_ACCESS_DENIED_CODE);
        return false;
    }
    if (data == nullptr && count > 0) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return false;
    }
    // hidraw takes the report-ID byte first, as the caller gives it.
    for (;;) {
        const ssize_t n = ::write(file->Fd(), data, count);
        if (n >= 0) {
            written = static_cast<std::uint32_t>(n);
            return true;
        }
        if (errno == EINTR) continue;
        if (WouldBlock(errno)) {
            // A write-only overlapped handle is non-blocking; this write is not.
            pollfd p{file->Fd(), POLLOUT, 0};
            if (::poll(&p, 1, -1) >= 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL))) continue;
            SetLastError(ERROR_DEVICE_NOT_CONNECTED_CODE);
            return false;
        }
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
}

bool LinuxHidPlatform::ReadFileEx(THidHandle handle, void* buffer, std::uint32_t count, THidOverlapped& overlapped,
                                  THidReadCompletion routine) {
    auto file = FindOrFail(handle);
    if (!file) return false;
    return StartRead(handle, std::move(file), buffer, count, overlapped, routine);
}

std::uint32_t LinuxHidPlatform::SleepEx(std::uint32_t milliseconds) {
    return AlertableWait(milliseconds);
}

bool LinuxHidPlatform::GetOverlappedResult(THidHandle, THidOverlapped& overlapped, std::uint32_t& transferred) {
    // Without waiting, the record alone tells; a read on a handle closed
    // meanwhile still reports how it ended.
    return OverlappedResult(overlapped, transferred);
}

bool LinuxHidPlatform::CancelIo(THidHandle handle) {
    // Handle numbers are never reused, so reads of a handle closed meanwhile
    // are still found by its number.
    if (CancelThreadReads(handle) > 0 || handles_.Find(handle)) return true;
    SetLastError(ERROR_INVALID_HANDLE_CODE);
    return false;
}

std::uint32_t LinuxHidPlatform::GetLastError() {
    return LastError();
}

// --- notifications -----------------------------------------------------------

std::unique_ptr<THidNotifyWindow> LinuxHidPlatform::CreateNotifyWindow(TGuiThread& gui,
                                                                       THidNotifyWindow::Handler handler) {
    // Without a monitor (no netlink access) the window still carries the
    // controller's own messages, so boards present at start are found.
    return std::make_unique<TNotifyWindow>(gui, std::move(handler), CreateUdevEventSource());
}

}  // namespace lumidra::hid
