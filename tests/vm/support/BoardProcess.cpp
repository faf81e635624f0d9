#include "tests/vm/support/BoardProcess.h"

#include "tools/virtual-board/BoardHex.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace lumidra::vmtest {

namespace {

using Clock = std::chrono::steady_clock;

template <class Predicate>
bool PollUntil(Predicate done, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

}  // namespace

bool UhidAvailable() {
    struct stat st {};
    return ::stat("/dev/uhid", &st) == 0 && S_ISCHR(st.st_mode);
}

bool GadgetAvailable() {
    struct stat st {};
    if (::stat("/sys/kernel/config/usb_gadget", &st) != 0) return false;
    std::error_code error;
    return std::filesystem::exists("/sys/class/udc", error) && !std::filesystem::is_empty("/sys/class/udc", error) &&
           !error;
}

std::string VirtualBoardPath() {
    if (const char* path = std::getenv("LUMIDRA_VIRTUAL_BOARD"); path && *path) return path;
    return LUMIDRA_VIRTUAL_BOARD_PATH;
}

TBoardProcess::TBoardProcess() : TBoardProcess(TOptions{}) {}

TBoardProcess::TBoardProcess(TOptions options) : options_(std::move(options)) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vboard.XXXXXX";
    if (!::mkdtemp(pattern.data())) return;
    dir_ = pattern;
    fifo_ = dir_ + "/control";
    log_ = dir_ + "/outputs.log";
    ready_ = dir_ + "/ready";
    if (::mkfifo(fifo_.c_str(), 0600) != 0) return;
    // Held open read-write, so that the board never sees the pipe's end.
    control_ = ::open(fifo_.c_str(), O_RDWR | O_CLOEXEC);

    const std::string program = VirtualBoardPath();
    std::vector<std::string> args{program,     "--serial", options_.Serial, "--log", log_,
                                  "--control", fifo_,      "--ready",       ready_};
    if (options_.Bus != "uhid") args.insert(args.end(), {"--bus", options_.Bus});
    args.insert(args.end(), options_.ExtraArguments.begin(), options_.ExtraArguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
}

TBoardProcess::~TBoardProcess() {
    Stop();
    if (control_ >= 0) ::close(control_);
    if (!dir_.empty()) {
        ::unlink(fifo_.c_str());
        ::unlink(log_.c_str());
        ::unlink(ready_.c_str());
        ::rmdir(dir_.c_str());
    }
}

std::string TBoardProcess::WaitNode(std::chrono::milliseconds timeout, bool settle) {
    node_.clear();
    PollUntil([&] { return pid_ > 0 && !(node_ = ReadFirstLine(ready_)).empty(); }, timeout);
    // Where udevd runs, the node is usable (owner, mode, tags) only once it
    // has handled the node's events.
    if (settle && !node_.empty() && ::access("/run/udev/control", F_OK) == 0) {
        const int rc = std::system("udevadm settle --timeout=10");
        (void)rc;
    }
    return node_;
}

bool TBoardProcess::WaitUnplugged(std::chrono::milliseconds timeout) {
    return PollUntil([&] { return ::access(ready_.c_str(), F_OK) != 0; }, timeout);
}

bool TBoardProcess::Command(std::string_view line) {
    if (control_ < 0) return false;
    std::string text(line);
    text += '\n';
    return ::write(control_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::vector<Bytes> TBoardProcess::Outputs() const {
    std::vector<Bytes> outputs;
    std::ifstream file(log_);
    std::string line;
    while (std::getline(file, line)) {
        auto bytes = vboard::ParseHex(line);
        outputs.push_back(bytes ? *bytes : Bytes{});
    }
    return outputs;
}

bool TBoardProcess::WaitOutputs(std::size_t count, std::chrono::milliseconds timeout) const {
    return PollUntil([&] { return Outputs().size() >= count; }, timeout);
}

int TBoardProcess::WaitExit(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    int status = 0;
    pid_t done = 0;
    if (!PollUntil([&] { return (done = ::waitpid(pid_, &status, WNOHANG)) != 0; }, timeout)) return -1;
    pid_ = -1;
    if (done < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int TBoardProcess::Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    pid_t done = 0;
    const bool ended =
        PollUntil([&] { return (done = ::waitpid(pid_, &status, WNOHANG)) != 0; }, std::chrono::seconds(10));
    if (!ended) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    if (!ended || done < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace lumidra::vmtest
