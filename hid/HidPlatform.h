// The operations the device layer needs from the operating system's HID stack.
//
// The controller, the device objects and the readers are written once against
// this interface; each platform (Linux hidraw, Windows SetupAPI/HID.dll, and
// the in-memory bus the tests use) implements it in a folder of its own. The
// operations keep the shape of the Windows calls the layer was designed around,
// so that each step of the layer maps to one call here: handles, an overlapped
// record per read, an alertable wait that a read's completion ends with 192,
// and a thread-local last error.
//
// Plain C++ only: no GUI toolkit, so the layer builds for every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumidra::hid {

class TGuiThread;

// An open device handle; never reused for another open while the process runs.
using THidHandle = std::intptr_t;
inline constexpr THidHandle InvalidHidHandle = -1;

// Preparsed report descriptor data of an open device; 0 = none.
using THidPreparsedData = std::intptr_t;

// What an alertable wait returns when a read's completion routine ran
// (WAIT_IO_COMPLETION), and when it timed out. The layer's own names differ
// from the Windows SDK's, whose macros would otherwise rewrite them.
inline constexpr std::uint32_t HidWaitIoCompletion = 192;
inline constexpr std::uint32_t HidWaitTimeout = 0;

// The device-change message (WM_DEVICECHANGE) and its code for "the set of
// device nodes changed" (DBT_DEVNODES_CHANGED).
inline constexpr std::uint32_t HidDeviceChangeMessage = 0x0219;
inline constexpr std::uintptr_t HidDevNodesChanged = 7;

// Platform error codes the layer and its callers compare against.
inline constexpr std::uint32_t ERROR_SUCCESS_CODE = 0;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND_CODE = 2;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED_CODE = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE_CODE = 6;
inline constexpr std::uint32_t ERROR_GEN_FAILURE_CODE = 31;
inline constexpr std::uint32_t ERROR_NOT_SUPPORTED_CODE = 50;
inline constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED_CODE = 1167;
inline constexpr std::uint32_t ERROR_OPERATION_ABORTED_CODE = 995;

// 16-byte interface-class identifier, laid out like the platform's GUID.
struct THidGuid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
    bool operator==(const THidGuid&) const = default;
};

// {4D1E55B2-F16F-11CF-88CB-001111000030}: the HID class when nothing better is known.
inline constexpr THidGuid DefaultHidGuid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// HIDD_ATTRIBUTES.
struct THidAttributes {
    std::uint32_t Size = 0;
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// HIDP_CAPS: 64 bytes; the layer reads only InputReportByteLength.
struct THidCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
    std::uint16_t Reserved[17] = {};
    std::uint16_t NumberLinkCollectionNodes = 0;
    std::uint16_t NumberInputButtonCaps = 0;
    std::uint16_t NumberInputValueCaps = 0;
    std::uint16_t NumberInputDataIndices = 0;
    std::uint16_t NumberOutputButtonCaps = 0;
    std::uint16_t NumberOutputValueCaps = 0;
    std::uint16_t NumberOutputDataIndices = 0;
    std::uint16_t NumberFeatureButtonCaps = 0;
    std::uint16_t NumberFeatureValueCaps = 0;
    std::uint16_t NumberFeatureDataIndices = 0;
};
static_assert(sizeof(THidCaps) == 64);

// The record of one pending read, laid out like the platform's OVERLAPPED.
// `hEvent` carries a reference to the device object that started the read.
struct THidOverlapped {
    std::uintptr_t Internal = 0;
    std::uintptr_t InternalHigh = 0;
    std::uint32_t Offset = 0;
    std::uint32_t OffsetHigh = 0;
    void* hEvent = nullptr;
};

// Runs on the reading thread, inside its alertable wait, when a read completes.
using THidReadCompletion = void (*)(std::uint32_t errorCode, std::uint32_t transferred, THidOverlapped* overlapped);

// The 26 registry properties a scan collects per interface, kept with its
// record for whoever wants to look; the program itself reads none of them. A
// platform without such a registry leaves them empty.
struct THidRegistryProperties {
    std::uint32_t Capabilities = 0;
    std::string Class;
    std::string ClassGUID;
    std::vector<std::string> CompatibleIDs;
    std::uint32_t ConfigFlags = 0;
    std::string DeviceDesc;
    std::string Driver;
    std::string FriendlyName;
    std::vector<std::string> HardwareID;
    std::vector<std::string> LowerFilters;
    std::string Mfg;
    std::vector<std::string> UpperFilters;
    std::string Address;
    std::uint32_t BusNumber = 0;
    std::string BusTypeGUID;
    std::string Characteristics;
    std::uint32_t DevType = 0;
    std::string EnumeratorName;
    std::uint32_t Exclusive = 0;
    std::uint32_t LegacyBusType = 0;
    std::string LocationInformation;
    std::string PhysicalDeviceObjectName;
    std::string SecuritySDS;
    std::string Service;
    std::uint32_t UINumber = 0;
    std::string UINumberDescFormat;
};

// One present interface of a class, as a scan lists it.
struct THidInterfaceRecord {
    std::uint32_t InstanceHandle = 0;  // identifies the interface while it stays plugged in
    std::string InterfacePath;
    THidRegistryProperties Properties;
};

enum class THidOpenMode {
    ReadWrite,       // synchronous, read and write access
    QueryOnly,       // synchronous, no access: attributes and strings only
    OverlappedRead,  // asynchronous, read access
    OverlappedWrite  // asynchronous, write access
};

// The hidden receiver of device-change messages, living on the GUI thread.
// Messages posted to it (by the platform on every change of the device nodes,
// or by its owner) reach its handler on the GUI thread, one at a time.
class THidNotifyWindow {
public:
    using Handler = std::function<std::intptr_t(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)>;
    virtual ~THidNotifyWindow() = default;
    // Thread-safe; the message is handled at a later turn of the GUI thread's loop.
    virtual bool PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // What the platform's default window procedure answers.
    virtual std::intptr_t DefWindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

class THidPlatform {
public:
    virtual ~THidPlatform() = default;

    // Binding the platform's libraries. The setup library is reference-counted.
    virtual bool LoadSetupLibrary() = 0;
    virtual void UnloadSetupLibrary() = 0;
    virtual bool LoadHidLibrary() = 0;
    virtual void UnloadHidLibrary() = 0;
    virtual bool HidLibraryLoaded() const = 0;

    virtual THidGuid GetHidGuid() = 0;

    // The interfaces of a class present now, in the platform's order. False when
    // the listing itself fails; interfaces whose details cannot be read are left out.
    virtual bool ListInterfaces(const THidGuid& interfaceClass, std::vector<THidInterfaceRecord>& out) = 0;

    // Opening and closing. Open returns InvalidHidHandle on failure (last error set).
    virtual THidHandle Open(const std::string& path, THidOpenMode mode) = 0;
    virtual void Close(THidHandle handle) = 0;

    virtual bool GetAttributes(THidHandle handle, THidAttributes& attributes) = 0;
    virtual bool GetPreparsedData(THidHandle handle, THidPreparsedData& data) = 0;
    virtual void FreePreparsedData(THidPreparsedData data) = 0;
    virtual bool GetCaps(THidPreparsedData data, THidCaps& caps) = 0;

    // UTF-16 text into the caller's buffer of `bufferBytes` bytes; index 0 is the
    // language list. The buffer is left as it was where nothing is written.
    virtual bool GetIndexedString(THidHandle handle, std::uint32_t index, void* buffer, std::uint32_t bufferBytes) = 0;
    virtual bool GetSerialNumberString(THidHandle handle, void* buffer, std::uint32_t bufferBytes) = 0;

    // One synchronous write of `count` bytes, byte 0 the report ID.
    virtual bool WriteFile(THidHandle handle, const void* data, std::uint32_t count, std::uint32_t& written) = 0;

    // Starts one asynchronous read of an input report (report ID byte first)
    // into `buffer`. Its completion runs `routine` on the calling thread during
    // a later AlertableWait of that same thread.
    virtual bool ReadFileEx(THidHandle handle, void* buffer, std::uint32_t count, THidOverlapped& overlapped,
                            THidReadCompletion routine) = 0;
    // Waits up to `milliseconds` on the calling thread; HidWaitIoCompletion when a
    // completion routine of this thread ran, HidWaitTimeout otherwise.
    virtual std::uint32_t SleepEx(std::uint32_t milliseconds) = 0;
    // The bytes a read transferred, without waiting; false while pending or failed.
    virtual bool GetOverlappedResult(THidHandle handle, THidOverlapped& overlapped, std::uint32_t& transferred) = 0;
    // Cancels the pending reads and writes of the calling thread on `handle`.
    virtual bool CancelIo(THidHandle handle) = 0;

    // The last error of the calling thread.
    virtual std::uint32_t GetLastError() = 0;

    // Creates the hidden window that receives device-change messages on the GUI
    // thread; the platform posts HidDeviceChangeMessage / HidDevNodesChanged to it
    // whenever HID device nodes come or go. Null when it cannot be made.
    virtual std::unique_ptr<THidNotifyWindow> CreateNotifyWindow(TGuiThread& gui,
                                                                 THidNotifyWindow::Handler handler) = 0;
};

}  // namespace lumidra::hid
