// What the Linux HID stack does with the board, checked on a real kernel
// (inside the VM, through the uhid virtual board) with nothing but system
// calls. The Linux platform is built on exactly these facts; when a kernel
// changes one of them, this test says which before the platform's tests fail
// in a less obvious way. Skips where the kernel has no uhid.
#include "tests/vm/support/BoardProcess.h"
#include "boardmodel/BoardReports.h"
#include "tools/virtual-board/BoardHex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <numeric>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace lumidra::vmtest {
namespace {

using namespace std::chrono_literals;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string SysfsOf(const std::string& node) {
    return "/sys/class/hidraw/" + node.substr(node.rfind('/') + 1);
}

// 65 bytes as the program sends them: report ID 0, then a payload whose
// every byte differs from its neighbours, so a shift by one shows.
Bytes Report65(std::uint8_t seed) {
    Bytes r(65);
    std::iota(r.begin(), r.end(), seed);
    r[0] = 0;
    return r;
}

// One input report, read with a time limit; empty on timeout or error.
Bytes ReadReport(int fd, int timeoutMs = 5000) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1 || !(p.revents & POLLIN)) return {};
    Bytes buffer(256);
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0) return {};
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

class KernelFacts : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UhidAvailable()) GTEST_SKIP() << "no /dev/uhid: runs inside the VM only";
    }
};

TEST_F(KernelFacts, BoardEnumeratesWithItsIdentity) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty()) << "the board's hidraw node never appeared";

    const std::string uevent = SysfsOf(node) + "/device/uevent";
    EXPECT_EQ(UeventValue(uevent, "HID_ID"), "0003:0000C04E:00002014");
    EXPECT_EQ(UeventValue(uevent, "HID_UNIQ"), "01.01");
    EXPECT_EQ(UeventValue(uevent, "HID_NAME"), "Lumidra virtual board");

    Fd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0) << std::strerror(errno);
    hidraw_devinfo info{};
    ASSERT_EQ(::ioctl(fd.get(), HIDIOCGRAWINFO, &info), 0);
    EXPECT_EQ(info.bustype, 3u);
    // The kernel declares vendor and product as signed 16-bit: 0xC04E comes
    // back negative and must be read as unsigned.
    EXPECT_LT(info.vendor, 0);
    EXPECT_EQ(static_cast<std::uint16_t>(info.vendor), 0xC04E);
    EXPECT_EQ(static_cast<std::uint16_t>(info.product), 0x2014);

    char text[256] = {};
    ASSERT_GE(::ioctl(fd.get(), HIDIOCGRAWUNIQ(sizeof text), text), 0);
    EXPECT_STREQ(text, "01.01");

    hidraw_report_descriptor descriptor{};
    ASSERT_EQ(::ioctl(fd.get(), HIDIOCGRDESCSIZE, &descriptor.size), 0);
    ASSERT_EQ(::ioctl(fd.get(), HIDIOCGRDESC, &descriptor), 0);
    const auto expected = boardmodel::BoardReportDescriptor();
    EXPECT_EQ(Bytes(descriptor.value, descriptor.value + descriptor.size), Bytes(expected.begin(), expected.end()));
}

TEST_F(KernelFacts, A65ByteWriteReachesTheBoardAs64Bytes) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    Fd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0) << std::strerror(errno);

    const Bytes first = Report65(0x10), second = Report65(0x80);
    EXPECT_EQ(::write(fd.get(), first.data(), first.size()), 65);
    EXPECT_EQ(::write(fd.get(), second.data(), second.size()), 65);
    ASSERT_TRUE(board.WaitOutputs(2));
    const auto outputs = board.Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0], Bytes(first.begin() + 1, first.end()));
    EXPECT_EQ(outputs[1], Bytes(second.begin() + 1, second.end()));
}

TEST_F(KernelFacts, InputReportsArriveAs64BytesInOrder) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    Fd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0);

    Bytes payload(64);
    std::iota(payload.begin(), payload.end(), 0xC0);
    ASSERT_TRUE(board.Command("send " + vboard::FormatHex(payload)));
    // No report-ID byte in front: the descriptor has no numbered reports.
    EXPECT_EQ(ReadReport(fd.get()), payload);

    ASSERT_TRUE(board.Command("burst 20 A5"));
    for (std::uint32_t i = 0; i < 20; ++i) {
        const Bytes r = ReadReport(fd.get());
        ASSERT_EQ(r.size(), 64u) << "report " << i;
        EXPECT_EQ(r[0], 0xA5);
        EXPECT_EQ(boardmodel::ReadSequence(std::span<const std::uint8_t, 64>(r.data(), 64)), i);
    }
}

TEST_F(KernelFacts, ADecoyWithAnotherSerialReceivesNothing) {
    TBoardProcess decoy({"02.02", {}});
    TBoardProcess board;
    const std::string decoyNode = decoy.WaitNode(), node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    ASSERT_FALSE(decoyNode.empty());
    ASSERT_NE(node, decoyNode);
    EXPECT_EQ(UeventValue(SysfsOf(decoyNode) + "/device/uevent", "HID_ID"), "0003:0000C04E:00002014");
    EXPECT_EQ(UeventValue(SysfsOf(decoyNode) + "/device/uevent", "HID_UNIQ"), "02.02");

    Fd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0);
    const Bytes report = Report65(1);
    ASSERT_EQ(::write(fd.get(), report.data(), report.size()), 65);
    ASSERT_TRUE(board.WaitOutputs(1));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(board.Outputs().size(), 1u);
    EXPECT_TRUE(decoy.Outputs().empty());
}

TEST_F(KernelFacts, UnplugWhileOpenGivesHangupThenErrorsAndReplugComesBack) {
    TBoardProcess board;
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    Fd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0);

    ASSERT_TRUE(board.Command("unplug"));
    pollfd p{fd.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR)) << "revents " << p.revents;
    Bytes buffer(64);
    errno = 0;
    EXPECT_EQ(::read(fd.get(), buffer.data(), buffer.size()), -1);
    EXPECT_TRUE(errno == EIO || errno == ENODEV) << std::strerror(errno);
    const Bytes report = Report65(1);
    EXPECT_EQ(::write(fd.get(), report.data(), report.size()), -1);
    ASSERT_TRUE(board.WaitUnplugged());
    struct stat st {};
    const bool gone = [&] {
        for (int i = 0; i < 500; ++i) {
            if (::stat(node.c_str(), &st) != 0 && ::stat(SysfsOf(node).c_str(), &st) != 0) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }();
    EXPECT_TRUE(gone) << node << " still there after unplug";
    EXPECT_TRUE(board.Outputs().empty());

    ASSERT_TRUE(board.Command("plug"));
    const std::string again = board.WaitNode();
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(UeventValue(SysfsOf(again) + "/device/uevent", "HID_UNIQ"), "01.01");
    Fd fd2(::open(again.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(fd2.get(), 0);
    ASSERT_EQ(::write(fd2.get(), report.data(), report.size()), 65);
    ASSERT_TRUE(board.WaitOutputs(1));
    EXPECT_EQ(board.Outputs()[0], Bytes(report.begin() + 1, report.end()));
}

TEST_F(KernelFacts, KernelUeventsAnnounceAddAndRemoveWithoutUdevd) {
    Fd sock(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT));
    ASSERT_GE(sock.get(), 0);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1;  // the kernel's own multicast group
    ASSERT_EQ(::bind(sock.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    std::string node;
    {
        TBoardProcess board;
        node = board.WaitNode();
        ASSERT_FALSE(node.empty());
    }
    const std::string name = node.substr(node.rfind('/') + 1);
    bool added = false, removed = false;
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!(added && removed) && std::chrono::steady_clock::now() < end) {
        pollfd p{sock.get(), POLLIN, 0};
        if (::poll(&p, 1, 200) != 1) continue;
        char buffer[8192];
        const ssize_t n = ::recv(sock.get(), buffer, sizeof buffer - 1, 0);
        if (n <= 0) continue;
        buffer[n] = 0;
        std::string action, subsystem, devname;
        for (char* k = buffer + std::strlen(buffer) + 1; k < buffer + n; k += std::strlen(k) + 1) {
            const std::string kv = k;
            if (kv.rfind("ACTION=", 0) == 0) action = kv.substr(7);
            if (kv.rfind("SUBSYSTEM=", 0) == 0) subsystem = kv.substr(10);
            if (kv.rfind("DEVNAME=", 0) == 0) devname = kv.substr(8);
        }
        if (subsystem != "hidraw" || devname != name) continue;
        added |= action == "add";
        removed |= action == "remove";
    }
    EXPECT_TRUE(added);
    EXPECT_TRUE(removed);
}

// The board tool itself on the kernel: a script that answers the host's
// first output report, then unplugs and ends on its own.
TEST_F(KernelFacts, BoardScriptAnswersAnOutputAndQuits) {
    char path[] = "/tmp/vboard-script.XXXXXX";
    const int scriptFd = ::mkstemp(path);
    ASSERT_GE(scriptFd, 0);
    const std::string script =
        "# answer the first output report\nwait-output 1 5000\nstatus key=2 ack=1\nsleep 20\nquit\n";
    ASSERT_EQ(::write(scriptFd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
    ::close(scriptFd);

    TBoardProcess board({"01.01", {"--script", path}});
    const std::string node = board.WaitNode();
    ASSERT_FALSE(node.empty());
    Fd fd(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0);
    const Bytes report = Report65(3);
    ASSERT_EQ(::write(fd.get(), report.data(), report.size()), 65);

    Bytes expected(64, 0);
    expected[5] = 2;
    expected[6] = 1;
    EXPECT_EQ(ReadReport(fd.get()), expected);
    EXPECT_EQ(board.WaitExit(5s), 0);
    pollfd p{fd.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR)) << "the board should have unplugged on quit";
    ::unlink(path);
}

}  // namespace
}  // namespace lumidra::vmtest
