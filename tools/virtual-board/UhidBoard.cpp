#include "tools/virtual-board/UhidBoard.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

namespace lumidra::vboard {

namespace {

constexpr std::uint16_t BusUsb = 0x03;

bool WriteEvent(int fd, const uhid_event& event, std::size_t size) {
    for (;;) {
        const ssize_t n = ::write(fd, &event, size);
        if (n == static_cast<ssize_t>(size)) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

void CopyText(std::uint8_t* to, std::size_t capacity, const std::string& text) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(to, text.data(), n);
    to[n] = 0;
}

}  // namespace

TUhidBoard::TUhidBoard(TBoardIdentity identity) : identity_(std::move(identity)) {
    if (identity_.Phys.empty()) identity_.Phys = "virtual-board-" + std::to_string(::getpid()) + "/input0";
}

TUhidBoard::~TUhidBoard() {
    if (fd_ >= 0) {
        Unplug();
        ::close(fd_);
    }
}

bool TUhidBoard::Open(std::string& error) {
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        error = std::string("cannot open /dev/uhid: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool TUhidBoard::Plug() {
    if (plugged_) return true;
    static uhid_event event;  // 4.4 KiB: keep it off the stack
    std::memset(&event, 0, sizeof event);
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    CopyText(create.name, sizeof create.name, identity_.Name);
    CopyText(create.phys, sizeof create.phys, identity_.Phys);
    CopyText(create.uniq, sizeof create.uniq, identity_.Serial);
    const auto descriptor = boardmodel::BoardReportDescriptor();
    create.rd_size = static_cast<std::uint16_t>(descriptor.size());
    std::memcpy(create.rd_data, descriptor.data(), descriptor.size());
    create.bus = BusUsb;
    create.vendor = identity_.Vendor;
    create.product = identity_.Product;
    create.version = identity_.Version;
    plugged_ = WriteEvent(fd_, event, sizeof event);
    started_ = false;
    return plugged_;
}

bool TUhidBoard::Unplug() {
    if (!plugged_) return true;
    uhid_event event{};
    event.type = UHID_DESTROY;
    plugged_ = false;
    started_ = false;
    return WriteEvent(fd_, event, offsetof(uhid_event, u));
}

bool TUhidBoard::SendInput(const TReport& report) {
    if (!plugged_) return false;
    // Only the head of the event travels: type, size and the 64 bytes.
    static uhid_event event;
    event.type = UHID_INPUT2;
    event.u.input2.size = static_cast<std::uint16_t>(report.size());
    std::memcpy(event.u.input2.data, report.data(), report.size());
    return WriteEvent(fd_, event, offsetof(uhid_event, u.input2.data) + report.size());
}

TBoardDevice::TEvent TUhidBoard::Handle(short /*revents*/) {
    static uhid_event event;
    std::memset(&event, 0, sizeof event);
    const ssize_t n = ::read(fd_, &event, sizeof event);
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) return {};
        return {TEvent::TKind::Failed, {}};
    }
    switch (event.type) {
        case UHID_START: started_ = true; return {TEvent::TKind::Started, {}};
        case UHID_STOP: return {TEvent::TKind::Stopped, {}};
        case UHID_OPEN: return {TEvent::TKind::Opened, {}};
        case UHID_CLOSE: return {TEvent::TKind::Closed, {}};
        case UHID_OUTPUT: {
            const auto& output = event.u.output;
            const std::size_t size = std::min<std::size_t>(output.size, sizeof output.data);
            return {TEvent::TKind::Output, boardmodel::OutputAsReceived(std::span(output.data, size))};
        }
        case UHID_GET_REPORT: {
            const auto id = event.u.get_report.id;
            std::memset(&event, 0, sizeof event);
            event.type = UHID_GET_REPORT_REPLY;
            event.u.get_report_reply.id = id;
            event.u.get_report_reply.err = EIO;
            WriteEvent(fd_, event, sizeof event);
            return {};
        }
        case UHID_SET_REPORT: {
            const auto id = event.u.set_report.id;
            std::memset(&event, 0, sizeof event);
            event.type = UHID_SET_REPORT_REPLY;
            event.u.set_report_reply.id = id;
            event.u.set_report_reply.err = EIO;
            WriteEvent(fd_, event, sizeof event);
            return {};
        }
        default: return {};
    }
}

std::string TUhidBoard::FindNode() const {
    return FindHidrawNode(identity_.Phys, identity_.Serial);
}

}  // namespace lumidra::vboard
