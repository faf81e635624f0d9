// The Linux platform, and the device layer above it, on a real kernel HID
// stack: uhid virtual boards inside the VM give real hidraw nodes, sysfs,
// uevents and (in the second phase of the VM run) udevd with the project's
// rule, where these tests run again as an ordinary user. Skips where the
// kernel has no uhid.
#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "hid/linux/LinuxHidPlatform.h"
#include "tests/support/TestGuiThread.h"
#include "tests/vm/support/BoardProcess.h"
#include "boardmodel/BoardReports.h"
#include "tools/virtual-board/BoardHex.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <linux/netlink.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <numeric>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace lumidra::vmtest {
namespace {

using namespace std::chrono_literals;
using hid::LinuxHidPlatform;
using hid::THidHandle;
using hid::THidOpenMode;
using testing::TestGuiThread;

constexpr std::uint32_t StringBufferBytes = 508;  // what the device layer passes

// One read's completion, as the routine saw it.
struct TCompletion {
    bool Ran = false;
    std::uint32_t Error = 0;
    std::uint32_t Transferred = 0;
};
thread_local TCompletion* CurrentCompletion = nullptr;
void RecordCompletion(std::uint32_t error, std::uint32_t transferred, hid::THidOverlapped*) {
    if (CurrentCompletion) *CurrentCompletion = {true, error, transferred};
}

std::u16string Serial(LinuxHidPlatform& platform, THidHandle handle) {
    std::vector<char16_t> buffer(StringBufferBytes / 2, 0);
    if (!platform.GetSerialNumberString(handle, buffer.data(), StringBufferBytes)) return u"(failed)";
    return std::u16string(buffer.data());
}

std::size_t OpenDescriptorCount() {
    std::size_t n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}

// The multicast groups of this process's uevent sockets: 1 is the kernel's
// own events, 2 udevd's (sent after its rules ran).
std::vector<unsigned long> UeventGroupsOfThisProcess() {
    std::set<std::string> ours;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d)) {
            char target[64] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && std::strncmp(target, "socket:[", 8) == 0)
                ours.insert(std::string(target + 8, std::strlen(target) - 9));
        }
        ::closedir(d);
    }
    std::vector<unsigned long> groups;
    std::ifstream table("/proc/net/netlink");
    std::string line;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string sk, inode;
        int protocol = -1;
        unsigned long portId = 0, mask = 0;
        std::string rest[5];
        fields >> sk >> protocol >> portId >> std::hex >> mask >> std::dec >> rest[0] >> rest[1] >> rest[2] >>
            rest[3] >> rest[4] >> inode;
        if (protocol == NETLINK_KOBJECT_UEVENT && ours.count(inode)) groups.push_back(mask);
    }
    return groups;
}

class LinuxPlatformOnKernel : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UhidAvailable()) GTEST_SKIP() << "no /dev/uhid: runs inside the VM only";
        ASSERT_TRUE(platform.LoadSetupLibrary());
        ASSERT_TRUE(platform.LoadHidLibrary());
    }
    void TearDown() override {
        if (platform.SetupReferences() > 0) platform.UnloadSetupLibrary();
    }

    // The listed interface whose query-only identity is the board's with
    // this serial, as the program finds it; empty when none is listed.
    std::string FindListed(const std::u16string& serial) {
        std::vector<hid::THidInterfaceRecord> records;
        if (!platform.ListInterfaces(platform.GetHidGuid(), records)) return {};
        for (const auto& r : records) {
            const THidHandle h = platform.Open(r.InterfacePath, THidOpenMode::QueryOnly);
            if (h == hid::InvalidHidHandle) continue;
            hid::THidAttributes a{};
            const bool match = platform.GetAttributes(h, a) && a.VendorID == 0xC04E && a.ProductID == 0x2014 &&
                               Serial(platform, h) == serial;
            platform.Close(h);
            if (match) return r.InterfacePath;
        }
        return {};
    }

    // Waits, in the alertable wait the reader uses, for this thread's read to complete.
    bool WaitCompletion(std::chrono::milliseconds limit = 5s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end)
            if (platform.SleepEx(100) == hid::HidWaitIoCompletion) return true;
        return false;
    }

    LinuxHidPlatform platform;
};

TEST_F(LinuxPlatformOnKernel, EnumeratesTheBoardWithItsIdentityAndReportLengths) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    EXPECT_EQ(FindListed(u"01.01"), node);

    for (auto mode : {THidOpenMode::ReadWrite, THidOpenMode::QueryOnly}) {
        SCOPED_TRACE(mode == THidOpenMode::ReadWrite ? "read-write handle" : "query-only handle");
        const THidHandle h = platform.Open(node, mode);
        ASSERT_NE(h, hid::InvalidHidHandle) << "last error " << platform.GetLastError();
        hid::THidAttributes a{};
        ASSERT_TRUE(platform.GetAttributes(h, a));
        EXPECT_EQ(a.VendorID, 0xC04E);
        EXPECT_EQ(a.ProductID, 0x2014);
        EXPECT_EQ(Serial(platform, h), u"01.01");

        hid::THidPreparsedData data = 0;
        ASSERT_TRUE(platform.GetPreparsedData(h, data));
        hid::THidCaps caps{};
        ASSERT_TRUE(platform.GetCaps(data, caps));
        // Report-ID byte included, as the layer allocates its read buffer.
        EXPECT_EQ(caps.InputReportByteLength, 65);
        EXPECT_EQ(caps.OutputReportByteLength, 65);
        EXPECT_EQ(caps.UsagePage, 0xFF00);
        platform.FreePreparsedData(data);
        platform.Close(h);
    }
}

TEST_F(LinuxPlatformOnKernel, A65ByteWriteReachesTheBoardAs64Bytes) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());

    std::vector<Bytes> sent;
    for (auto mode : {THidOpenMode::ReadWrite, THidOpenMode::OverlappedWrite}) {
        const THidHandle h = platform.Open(node, mode);
        ASSERT_NE(h, hid::InvalidHidHandle) << "last error " << platform.GetLastError();
        Bytes report(65);
        std::iota(report.begin(), report.end(), static_cast<std::uint8_t>(0x20 + 0x40 * sent.size()));
        report[0] = 0;
        std::uint32_t written = 0;
        EXPECT_TRUE(platform.WriteFile(h, report.data(), 65, written));
        EXPECT_EQ(written, 65u);
        sent.push_back(report);
        platform.Close(h);
    }
    ASSERT_TRUE(board.WaitOutputs(2));
    const auto outputs = board.Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(outputs[i], Bytes(sent[i].begin() + 1, sent[i].end())) << i;
}

TEST_F(LinuxPlatformOnKernel, A64ByteInputArrivesAsReportIdZeroPlus64Bytes) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    const THidHandle h = platform.Open(node, THidOpenMode::OverlappedRead);
    ASSERT_NE(h, hid::InvalidHidHandle);

    Bytes payload(64);
    std::iota(payload.begin(), payload.end(), 0x40);
    TCompletion done;
    CurrentCompletion = &done;
    Bytes buffer(65, 0xEE);
    hid::THidOverlapped overlapped{};
    ASSERT_TRUE(platform.ReadFileEx(h, buffer.data(), 65, overlapped, RecordCompletion));
    ASSERT_TRUE(board.Command("send " + vboard::FormatHex(payload)));
    ASSERT_TRUE(WaitCompletion());
    EXPECT_TRUE(done.Ran);
    EXPECT_EQ(done.Error, 0u);
    EXPECT_EQ(done.Transferred, 65u);
    std::uint32_t transferred = 0;
    EXPECT_TRUE(platform.GetOverlappedResult(h, overlapped, transferred));
    EXPECT_EQ(transferred, 65u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(Bytes(buffer.begin() + 1, buffer.end()), payload);

    // Back to back, in order, none lost or doubled.
    ASSERT_TRUE(board.Command("burst 30 77"));
    for (std::uint32_t i = 0; i < 30; ++i) {
        done = {};
        ASSERT_TRUE(platform.ReadFileEx(h, buffer.data(), 65, overlapped, RecordCompletion));
        ASSERT_TRUE(WaitCompletion()) << "report " << i;
        ASSERT_EQ(done.Transferred, 65u);
        EXPECT_EQ(buffer[1], 0x77);
        EXPECT_EQ(boardmodel::ReadSequence(std::span<const std::uint8_t, 64>(buffer.data() + 1, 64)), i);
    }
    CurrentCompletion = nullptr;
    platform.Close(h);
}

TEST_F(LinuxPlatformOnKernel, ADecoyWithAnotherSerialIsToldApartAndNeverWrittenTo) {
    TBoardProcess decoy({"02.02", {}});
    TBoardProcess board;
    const std::string decoyNode = decoy.WaitNode(), node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    ASSERT_FALSE(decoyNode.empty());
    EXPECT_EQ(FindListed(u"02.02"), decoyNode);

    // Selection by identity, as the program does it: only the board is written.
    const std::string chosen = FindListed(u"01.01");
    ASSERT_EQ(chosen, node);
    const THidHandle h = platform.Open(chosen, THidOpenMode::ReadWrite);
    ASSERT_NE(h, hid::InvalidHidHandle);
    Bytes report(65, 0x5C);
    report[0] = 0;
    std::uint32_t written = 0;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(platform.WriteFile(h, report.data(), 65, written));
    platform.Close(h);
    ASSERT_TRUE(board.WaitOutputs(3));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(board.Outputs().size(), 3u);
    EXPECT_TRUE(decoy.Outputs().empty());
}

TEST_F(LinuxPlatformOnKernel, PlugAndUnplugNotifyAndANewNodeIsUsableWhenTold) {
    TestGuiThread gui;
    int changes = 0;
    std::vector<std::string> problems;
    std::string seenNode;
    auto window =
        platform.CreateNotifyWindow(gui, [&](std::uint32_t msg, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
            if (msg == hid::HidDeviceChangeMessage && w == hid::HidDevNodesChanged) {
                ++changes;
                // When told, the node must already be listed and, where udevd
                // runs, carry its access rules: open it at once, as the program will.
                const std::string node = FindListed(u"01.01");
                if (!node.empty() && seenNode.empty()) {
                    seenNode = node;
                    const THidHandle h = platform.Open(node, THidOpenMode::ReadWrite);
                    if (h == hid::InvalidHidHandle)
                        problems.push_back("open right after the notification failed, error " +
                                           std::to_string(platform.GetLastError()));
                    else
                        platform.Close(h);
                }
            }
            return 0;
        });
    ASSERT_TRUE(window);
    std::this_thread::sleep_for(100ms);  // let the monitor subscribe
    gui.RunFor(50ms);
    changes = 0;
    // udevd's events where it runs (a node is announced only once its rules
    // have set its access), the kernel's otherwise.
    const bool udevd = ::access("/run/udev/control", F_OK) == 0;
    EXPECT_EQ(UeventGroupsOfThisProcess(), std::vector<unsigned long>{udevd ? 2ul : 1ul})
        << (udevd ? "udevd runs" : "no udevd");

    std::string node;
    {
        TBoardProcess board;
        ASSERT_TRUE(gui.RunUntil([&] { return !seenNode.empty(); }, 10s)) << "no notification for the add";
        node = board.WaitNode();
        EXPECT_EQ(seenNode, node);
        EXPECT_TRUE(problems.empty()) << problems.front();
        const int afterAdd = changes;
        ASSERT_TRUE(board.Command("unplug"));
        ASSERT_TRUE(board.WaitUnplugged());
        ASSERT_TRUE(gui.RunUntil([&] { return changes > afterAdd && FindListed(u"01.01").empty(); }, 10s))
            << "no notification for the remove";
    }
    window.reset();
}

TEST_F(LinuxPlatformOnKernel, UnplugWhileReadingEndsTheReadWithAnErrorAndNothingLeaks) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    platform.SleepEx(1);  // this thread's wake-up descriptor lives as long as the thread
    const std::size_t descriptorsBefore = OpenDescriptorCount();
    THidHandle h = platform.Open(node, THidOpenMode::OverlappedRead);
    ASSERT_NE(h, hid::InvalidHidHandle);
    const THidHandle w = platform.Open(node, THidOpenMode::ReadWrite);
    ASSERT_NE(w, hid::InvalidHidHandle);

    TCompletion done;
    CurrentCompletion = &done;
    Bytes buffer(65, 0);
    hid::THidOverlapped overlapped{};
    ASSERT_TRUE(platform.ReadFileEx(h, buffer.data(), 65, overlapped, RecordCompletion));
    EXPECT_NE(platform.SleepEx(50), hid::HidWaitIoCompletion);  // nothing to read yet

    ASSERT_TRUE(board.Command("unplug"));
    ASSERT_TRUE(WaitCompletion());
    EXPECT_TRUE(done.Ran);
    EXPECT_NE(done.Error, 0u);
    std::uint32_t transferred = 99;
    EXPECT_FALSE(platform.GetOverlappedResult(h, overlapped, transferred));

    // Nothing read or written after the unplug succeeds.
    done = {};
    if (platform.ReadFileEx(h, buffer.data(), 65, overlapped, RecordCompletion)) {
        ASSERT_TRUE(WaitCompletion());
        EXPECT_NE(done.Error, 0u);
        EXPECT_EQ(done.Transferred, 0u);
    }
    Bytes report(65, 0);
    std::uint32_t written = 0;
    EXPECT_FALSE(platform.WriteFile(w, report.data(), 65, written));
    EXPECT_EQ(platform.GetLastError(), hid::ERROR_DEVICE_NOT_CONNECTED_CODE);
    EXPECT_TRUE(board.Outputs().empty());

    // A read pending when its handle is closed ends aborted, and the
    // descriptor is really closed once the read lets go of it.
    ASSERT_TRUE(board.WaitUnplugged());
    ASSERT_TRUE(board.Command("plug"));
    const std::string again = board.WaitNode();
    ASSERT_FALSE(again.empty());
    platform.Close(h);
    h = platform.Open(again, THidOpenMode::OverlappedRead);
    ASSERT_NE(h, hid::InvalidHidHandle) << again << ": last error " << platform.GetLastError();
    done = {};
    ASSERT_TRUE(platform.ReadFileEx(h, buffer.data(), 65, overlapped, RecordCompletion));
    platform.Close(h);
    ASSERT_TRUE(WaitCompletion());
    EXPECT_EQ(done.Error, hid::ERROR_OPERATION_ABORTED_CODE);
    platform.Close(w);
    CurrentCompletion = nullptr;
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

// The thread of this process whose name starts with `prefix`, or 0.
pid_t ThreadNamed(const std::string& prefix) {
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) return 0;
    pid_t found = 0;
    while (dirent* entry = ::readdir(tasks)) {
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name.rfind(prefix, 0) == 0) found = std::atoi(entry->d_name);
    }
    ::closedir(tasks);
    return found;
}

// User plus system time the thread `tid` has used so far.
std::chrono::milliseconds ThreadCpuTime(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the parenthesised name: state is the 3rd, utime the 14th, stime the 15th.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i)
        if (i >= 14) ticks += std::stol(field);
    return std::chrono::milliseconds(ticks * 1000 / ::sysconf(_SC_CLK_TCK));
}

// The device layer's controller, device object and reader thread on the
// kernel: attach by identity, reports through the reader to the GUI thread,
// and an unplug while the reader runs.
class DeviceLayerOnKernel : public LinuxPlatformOnKernel {
protected:
    void OnChange(hid::TObject*) {
        ++changes;
        if (!attached) controller->RunEnumeration();
    }
    bool OnEnumerate(hid::THidDevice* device, std::int32_t index) {
        if (device->Identity().VendorID == 0xC04E && device->Identity().ProductID == 0x2014 &&
            device->SerialString() == u"01.01") {
            controller->ClaimByIndex(attached, index);
            return false;
        }
        return true;
    }
    void OnData(hid::THidDevice*, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size) {
        Bytes r{reportId};
        r.insert(r.end(), data, data + size);
        reports.push_back(std::move(r));
    }
    void OnDataError(hid::THidDevice*, std::uint32_t) { ++dataErrors; }
    void OnUnplug(hid::THidDevice* device) {
        if (device == attached) ++unplugs;
    }

    void MakeController() {
        controller = std::make_unique<hid::THidDeviceController>(nullptr, platform, gui);
        controller->SetOnDeviceChange(hid::TNotifyEvent::Of<&DeviceLayerOnKernel::OnChange>(this));
        controller->SetOnEnumerate(hid::THidEnumerateEvent::Of<&DeviceLayerOnKernel::OnEnumerate>(this));
        controller->SetOnDeviceData(hid::THidDataEvent::Of<&DeviceLayerOnKernel::OnData>(this));
        controller->SetOnDeviceDataError(hid::THidDataErrorEvent::Of<&DeviceLayerOnKernel::OnDataError>(this));
        controller->SetOnDeviceUnplug(hid::THidPlugEvent::Of<&DeviceLayerOnKernel::OnUnplug>(this));
    }
    void TearDown() override {
        delete attached;  // the check-in
        attached = nullptr;
        controller.reset();
        LinuxPlatformOnKernel::TearDown();
    }

    TestGuiThread gui;
    std::unique_ptr<hid::THidDeviceController> controller;
    hid::THidDevice* attached = nullptr;
    std::vector<Bytes> reports;
    int changes = 0, dataErrors = 0, unplugs = 0;
};

TEST_F(DeviceLayerOnKernel, AttachesReadsWritesAndSurvivesAnUnplugWhileReading) {
    TBoardProcess decoy({"02.02", {}});
    ASSERT_FALSE(decoy.WaitNode().empty());
    MakeController();
    TBoardProcess board;
    ASSERT_FALSE(board.WaitNode().empty());
    ASSERT_TRUE(gui.RunUntil([&] { return attached != nullptr; }, 10s)) << "the board was never attached";

    Bytes report(65, 0);
    std::iota(report.begin() + 1, report.end(), 1);
    std::uint32_t written = 0;
    EXPECT_TRUE(attached->WriteReport(report.data(), 65, written));
    ASSERT_TRUE(board.WaitOutputs(1));
    EXPECT_EQ(board.Outputs()[0], Bytes(report.begin() + 1, report.end()));
    EXPECT_TRUE(decoy.Outputs().empty());

    // The reader opens its node on its own thread, and reports sent before
    // any reader has the node open are dropped by the kernel: like the real
    // board, repeat the status report until one arrives.
    bool first = false;
    for (int i = 0; i < 100 && !first; ++i) {
        ASSERT_TRUE(board.Command("status a1=1023 a2=512 in=5 key=1 id=0102030405060708"));
        first = gui.RunUntil([&] { return !reports.empty(); }, 100ms);
    }
    ASSERT_TRUE(first) << "no input report reached the data handler";
    ASSERT_EQ(reports[0].size(), 65u);
    EXPECT_EQ(reports[0][0], 0);  // report ID
    EXPECT_EQ(reports[0][1], 0xFF);
    EXPECT_EQ(reports[0][2], 0x03);
    EXPECT_EQ(reports[0][6], 1);
    EXPECT_EQ(reports[0][16], 0x01);  // first shown key byte travels at index 15
    gui.RunFor(100ms);
    const std::size_t statusCount = reports.size();
    ASSERT_TRUE(board.Command("burst 5 A5"));
    ASSERT_TRUE(gui.RunUntil([&] { return reports.size() >= statusCount + 5; }, 10s)) << reports.size();
    ASSERT_EQ(reports.size(), statusCount + 5);
    for (std::uint32_t i = 0; i < 5; ++i) {
        const Bytes& r = reports[statusCount + i];
        ASSERT_EQ(r.size(), 65u);
        EXPECT_EQ(r[1], 0xA5);
        EXPECT_EQ(boardmodel::ReadSequence(std::span<const std::uint8_t, 64>(r.data() + 1, 64)), i);
    }

    // The reader's node hangs up before any re-scan can close it (the GUI
    // thread is not turned for a second): the reader must wait, not spin.
    const pid_t reader = ThreadNamed("THidDeviceRead");
    ASSERT_GT(reader, 0) << "no reader thread";
    const auto cpuBefore = ThreadCpuTime(reader);
    ASSERT_TRUE(board.Command("unplug"));
    std::this_thread::sleep_for(1s);
    EXPECT_LT(ThreadCpuTime(reader) - cpuBefore, 50ms) << "the reader spun on the hung-up node";
    ASSERT_TRUE(gui.RunUntil([&] { return unplugs == 1; }, 10s)) << "no unplug event";
    // The reader keeps running until the object is checked in; it reports
    // each read it cannot start.
    ASSERT_TRUE(gui.RunUntil([&] { return dataErrors >= 2; }, 10s)) << dataErrors << " data errors";
    EXPECT_FALSE(attached->WriteReport(report.data(), 65, written));
    delete attached;
    attached = nullptr;
    gui.RunFor(200ms);
    EXPECT_EQ(unplugs, 1);
    EXPECT_TRUE(decoy.Outputs().empty());
}

}  // namespace
}  // namespace lumidra::vmtest
