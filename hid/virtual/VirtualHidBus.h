// An in-memory HID bus: the platform every test (and the virtual-board tool)
// runs the device layer on. Boards are plugged, unplugged, fed input reports
// and read back for the output reports they received, all in-process and
// thread-safe, with the same handle, overlapped-read and notification
// behaviour the real platforms give.
#pragma once

#include "hid/HidPlatform.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace lumidra::hid {

// What a virtual board looks like to the host.
struct TVirtualBoard {
    std::uint16_t VendorID = 0xC04E;
    std::uint16_t ProductID = 0x2014;
    std::uint16_t VersionNumber = 0x0100;
    std::u16string Serial = u"01.01";  // empty: the device has no serial number
    // String descriptors by index (1 = manufacturer, 2 = product, ...).
    std::map<std::uint8_t, std::u16string> Strings{{1, u"Lumidra Lab"}, {2, u"Demo Board"}};
    std::vector<std::uint16_t> Languages{0x0409};  // string index 0
    bool LanguagesReadable = true;                 // false: reading string index 0 fails
    std::uint16_t InputReportByteLength = 65;      // report ID byte included
    std::uint16_t OutputReportByteLength = 65;
    bool ReadWriteGranted = true;  // false: only a query-only open succeeds
    std::string Path;              // empty: "virtual://hid/<id>"
};

// Faults a test can switch on for one board.
struct TVirtualFaults {
    bool OpenFails = false;       // every open fails, query-only included
    bool AttributesFail = false;  // HidD_GetAttributes fails
    bool WriteFails = false;      // every write fails
    bool ReadStartFails = false;  // every ReadFileEx fails
    bool SerialFails = false;     // HidD_GetSerialNumberString fails
    bool PreparsedFails = false;  // HidD_GetPreparsedData fails
};

class VirtualHidBus final : public THidPlatform {
public:
    VirtualHidBus();
    ~VirtualHidBus() override;

    // --- what tests and tools do ---------------------------------------
    // Plugs a board in and notifies every notification window; returns its id.
    int Plug(const TVirtualBoard& board);
    // Unplugs it: open handles fail from now on, pending reads complete with
    // an error, notification windows are notified.
    void Unplug(int id);
    bool IsPlugged(int id) const;
    // Queues one input report (report ID byte first) for the board's readers.
    void Feed(int id, std::vector<std::uint8_t> report);
    // Input reports fed but not yet read.
    std::size_t PendingInput(int id) const;
    // Every output report written to the board, in order, as written.
    std::vector<std::vector<std::uint8_t>> Written(int id) const;
    void ClearWritten(int id);
    // Waits (up to timeoutMs) until at least `count` reports were written.
    bool WaitWritten(int id, std::size_t count, int timeoutMs) const;

    // Called with every output report the board accepts (as written, report
    // ID byte first), on the writing thread, after the bus has recorded it and
    // with no lock held: the observer may Feed the board at once. A board
    // model answering the host hooks in here. Empty: none.
    using TWriteObserver = std::function<void(const std::vector<std::uint8_t>& report)>;
    void SetWriteObserver(int id, TWriteObserver observer);

    void SetFaults(int id, const TVirtualFaults& faults);
    // Gives or takes read-write access to a plugged board (as udevd does once
    // it has set a new node's owner and mode) and notifies, as the platform
    // does after such a change.
    void SetReadWriteGranted(int id, bool granted);
    void SetListingFails(bool fails);
    void SetBindingFails(bool setupFails, bool hidFails);
    // Posts one device-change notification as the platform would, without a change.
    void NotifyChange();

    // How often an operation was called ("Open", "WriteFile", "ReadFileEx",
    // "SleepEx", "GetIndexedString", "GetSerialNumberString", "GetAttributes",
    // "GetPreparsedData", "CancelIo", "ListInterfaces", ...), on any board.
    std::size_t CallCount(const std::string& operation) const;
    void ResetCallCounts();
    // Handles of this board open now.
    std::size_t OpenHandles(int id) const;
    int SetupReferences() const;

    // --- THidPlatform ----------------------------------------------------
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
    struct Board;
    struct Handle;
    struct PendingRead;
    class NotifyWindow;

    void Count(const char* operation);
    std::shared_ptr<Handle> FindHandle(THidHandle handle);  // with mutex_ held
    void PostChange();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int nextBoard_ = 1;
    THidHandle nextHandle_ = 0x100;
    THidPreparsedData nextPreparsed_ = 0x1000;
    std::map<int, std::shared_ptr<Board>> boards_;
    std::map<THidHandle, std::shared_ptr<Handle>> handles_;
    std::map<THidPreparsedData, int> preparsed_;  // -> board id
    std::vector<std::shared_ptr<PendingRead>> pendingReads_;
    std::set<NotifyWindow*> windows_;
    std::map<std::string, std::size_t> calls_;
    int setupRefs_ = 0;
    bool hidLoaded_ = false;
    bool setupFails_ = false;
    bool hidFails_ = false;
    bool listingFails_ = false;
};

}  // namespace lumidra::hid
