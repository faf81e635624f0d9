#include "tools/virtual-board/GadgetBoard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace lumidra::vboard {

namespace {

constexpr const char* GadgetRoot = "/sys/kernel/config/usb_gadget";

// Writes `content` in one write, as a configfs attribute wants it.
bool WriteWhole(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::write(fd, content.data(), content.size());
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    errno = error;
    return n == static_cast<ssize_t>(content.size()) && closed;
}

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The device controllers there are, by name.
std::vector<std::string> Controllers() {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir("/sys/class/udc")) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void TakeApart(const std::string& root, const std::vector<TGadgetEntry>& made) {
    for (const auto& entry : GadgetTeardown(made)) {
        const std::string path = entry.Path.empty() ? root : root + "/" + entry.Path;
        if (entry.Kind == TGadgetEntry::TKind::Link)
            ::unlink(path.c_str());
        else
            ::rmdir(path.c_str());
    }
}

}  // namespace

TGadgetBoard::TGadgetBoard(TBoardIdentity identity, std::string udc)
    : identity_(std::move(identity)), wantedUdc_(std::move(udc)) {}

TGadgetBoard::~TGadgetBoard() {
    Unplug();
    if (!root_.empty()) TakeApart(root_, layout_);
}

bool TGadgetBoard::Open(std::string& error) {
    struct stat st {};
    if (::stat(GadgetRoot, &st) != 0) {
        error = std::string("no USB gadgets here: ") + GadgetRoot + " is missing (configfs, libcomposite)";
        return false;
    }
    root_ = std::string(GadgetRoot) + "/lumidra-board-" + std::to_string(::getpid());
    const auto layout = GadgetLayout(identity_, hid::BoardHidFunction);
    for (const auto& entry : layout) {
        const std::string path = entry.Path.empty() ? root_ : root_ + "/" + entry.Path;
        bool made = false;
        switch (entry.Kind) {
            case TGadgetEntry::TKind::Directory: made = ::mkdir(path.c_str(), 0755) == 0; break;
            case TGadgetEntry::TKind::File: made = WriteWhole(path, entry.Content); break;
            case TGadgetEntry::TKind::Link:
                made = ::symlink((root_ + "/" + entry.Content).c_str(), path.c_str()) == 0;
                break;
        }
        if (!made) {
            error = "cannot make the gadget at " + path + ": " + std::strerror(errno);
            TakeApart(root_, layout_);
            root_.clear();
            layout_.clear();
            return false;
        }
        layout_.push_back(entry);
    }
    return true;
}

bool TGadgetBoard::Bind(const std::string& udc) {
    return WriteWhole(root_ + "/UDC", udc + "\n");
}

bool TGadgetBoard::Plug() {
    if (Plugged()) return true;
    if (root_.empty()) return false;
    const auto candidates = wantedUdc_.empty() ? Controllers() : std::vector<std::string>{wantedUdc_};
    udc_.clear();
    for (const auto& udc : candidates) {
        if (Bind(udc)) {
            udc_ = udc;
            break;
        }
    }
    if (udc_.empty()) {
        if (candidates.empty()) errno = ENODEV;
        return false;
    }
    // The function's node exists while it is bound; its name from its numbers.
    const std::string numbers = FirstLine(root_ + "/" + GadgetFunction + "/dev");
    gadgetNode_ = "/dev/" + UeventValue("/sys/dev/char/" + numbers + "/uevent", "DEVNAME");
    for (int i = 0; i < 200 && fd_ < 0; ++i) {
        fd_ = ::open(gadgetNode_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (fd_ < 0) {
        const int error = errno;
        Bind("");
        errno = error;
        return false;
    }
    return true;
}

bool TGadgetBoard::Unplug() {
    if (!Plugged()) return true;
    ::close(fd_);
    fd_ = -1;
    queue_.clear();
    return Bind("");
}

bool TGadgetBoard::SendInput(const TReport& report) {
    if (!Plugged()) return false;
    if (queue_.empty()) {
        const ssize_t n = ::write(fd_, report.data(), report.size());
        if (n == static_cast<ssize_t>(report.size())) return true;
        // Not configured by the host yet, or on its way out: gone as a report
        // the host did not take.
        if (n < 0 && (errno == ESHUTDOWN || errno == ENODEV)) {
            ++dropped_;
            return true;
        }
        if (n >= 0 || (errno != EAGAIN && errno != EINTR)) return false;
    }
    if (queue_.size() >= QueueLimit) {
        ++dropped_;
        return true;
    }
    queue_.push_back(report);
    return true;
}

void TGadgetBoard::Flush() {
    while (!queue_.empty()) {
        const ssize_t n = ::write(fd_, queue_.front().data(), queue_.front().size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n != static_cast<ssize_t>(queue_.front().size())) ++dropped_;
        queue_.pop_front();
    }
}

short TGadgetBoard::PollEvents() const {
    return static_cast<short>(POLLIN | (queue_.empty() ? 0 : POLLOUT));
}

TBoardDevice::TEvent TGadgetBoard::Handle(short revents) {
    if (!Plugged()) return {};
    if (revents & POLLOUT) Flush();
    if (!(revents & POLLIN)) return {};
    std::uint8_t buffer[512];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) return {};
    return {TEvent::TKind::Output, std::vector<std::uint8_t>(buffer, buffer + n)};
}

bool TGadgetBoard::ReadyForInput() const {
    if (!Plugged() || !queue_.empty()) return false;
    pollfd p{fd_, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT);
}

std::string TGadgetBoard::FindNode() const {
    if (!Plugged()) return {};
    const auto prefix = HostPhysPrefix(udc_);
    return prefix ? FindHidrawNode(*prefix, identity_.Serial) : gadgetNode_;
}

std::string TGadgetBoard::Where() const {
    return root_ + (udc_.empty() ? "" : " on " + udc_);
}

}  // namespace lumidra::vboard
