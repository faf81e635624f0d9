// lumidra-virtual-board: the demonstration board as a kernel HID device over
// /dev/uhid, or as a USB device through the kernel's HID gadget (--bus
// gadget), for tests of the real Linux HID stack (in a VM or on a desktop).
//
// It logs every output report it receives, as the board's firmware would see
// it (64 bytes, no report-ID byte), one hex line each, and sends the input
// reports that a script or the control pipe asks for. See BoardScript.h for
// the commands. With --model it runs the board model instead: the model
// answers the host's reports as the board does, reports at a steady rate,
// and takes the commands of ModelCommands.h on the control pipe.
#include "tools/virtual-board/BoardHex.h"
#include "tools/virtual-board/BoardRunner.h"
#include "tools/virtual-board/GadgetBoard.h"
#include "tools/virtual-board/ModelCommands.h"
#include "tools/virtual-board/UhidBoard.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumidra::vboard;
namespace boardmodel = lumidra::boardmodel;
using Clock = TBoardRunner::Clock;

namespace {

constexpr const char* Usage =
    "usage: lumidra-virtual-board [--bus uhid|gadget] [--udc NAME] [--serial S] [--name N]\n"
    "                             [--maker M] [--phys P] [--vid N] [--pid N]\n"
    "                             [--log FILE] [--script FILE] [--control FIFO]\n"
    "                             [--ready FILE] [--model] [--rate N] [--verbose]\n"
    "       lumidra-virtual-board --help | --version\n"
    "  --bus      uhid (default): a HID device made through /dev/uhid;\n"
    "             gadget: a USB device, the kernel's configfs HID gadget bound to a\n"
    "             device controller (--udc, default the first free one), which the\n"
    "             host enumerates; unplug and plug unbind and bind it\n"
    "  --serial   serial-number string (default 01.01); another one makes a decoy\n"
    "  --name     product string; --maker: manufacturer string (USB only)\n"
    "  --log      where each output report goes as a hex line (default stdout)\n"
    "  --script   commands run once the device node exists\n"
    "  --control  a FIFO (made if missing) that takes the same commands, one a line\n"
    "  --ready    written with the /dev/hidrawN path once the node exists,\n"
    "             removed on unplug (on a device controller whose host is another\n"
    "             machine: the gadget's /dev/hidgN once bound)\n"
    "  --model    answer as the board does (the board model), with status reports\n"
    "             at --rate a second (default 100, at most 1000); the control pipe\n"
    "             also takes key, nokey, keystatus, channel, inputs, ack-delay,\n"
    "             ack, rate and save\n";

struct TOptions {
    TBoardIdentity Identity;
    bool Gadget = false;
    std::string Udc;
    std::string Log, Script, Control, Ready;
    bool Verbose = false;
    bool Model = false;
    std::uint32_t Rate = DefaultModelRate;
};

bool ParseId(const char* text, std::uint16_t& out) {
    std::string_view s(text);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value > 0xFFFF) return false;
    out = static_cast<std::uint16_t>(value);
    return true;
}

// What the command line asks for: a board, the help, the version, or nothing
// sound (the usage then goes to standard error).
enum class TParsed { Board, Help, Version, Wrong };

TParsed ParseOptions(int argc, char** argv, TOptions& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--verbose" || a == "--model") {
            (a == "--model" ? o.Model : o.Verbose) = true;
            continue;
        }
        if (a == "--help") return TParsed::Help;
        if (a == "--version") return TParsed::Version;
        if (i + 1 >= argc) return TParsed::Wrong;
        const char* v = argv[++i];
        if (a == "--bus") {
            if (std::string_view(v) != "uhid" && std::string_view(v) != "gadget") return TParsed::Wrong;
            o.Gadget = std::string_view(v) == "gadget";
        } else if (a == "--udc")
            o.Udc = v;
        else if (a == "--maker")
            o.Identity.Maker = v;
        else if (a == "--serial")
            o.Identity.Serial = v;
        else if (a == "--name")
            o.Identity.Name = v;
        else if (a == "--phys")
            o.Identity.Phys = v;
        else if (a == "--vid") {
            if (!ParseId(v, o.Identity.Vendor)) return TParsed::Wrong;
        } else if (a == "--pid") {
            if (!ParseId(v, o.Identity.Product)) return TParsed::Wrong;
        } else if (a == "--log")
            o.Log = v;
        else if (a == "--script")
            o.Script = v;
        else if (a == "--control")
            o.Control = v;
        else if (a == "--ready")
            o.Ready = v;
        else if (a == "--rate") {
            const auto rate = ParseNumber(v, MaxModelRate);
            if (!rate || *rate == 0) return TParsed::Wrong;
            o.Rate = static_cast<std::uint32_t>(*rate);
        } else
            return TParsed::Wrong;
    }
    return TParsed::Board;
}

// Splits what arrives on the control pipe into lines and queues the commands.
class TControlPipe {
public:
    bool Open(const std::string& path, std::string& error) {
        if (::mkfifo(path.c_str(), 0600) != 0 && errno != EEXIST) {
            error = "cannot make " + path + ": " + std::strerror(errno);
            return false;
        }
        // Read-write, so that the pipe never reports end-of-file when a
        // writer goes away: the next writer just continues.
        fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) error = "cannot open " + path + ": " + std::strerror(errno);
        return fd_ >= 0;
    }
    int Fd() const { return fd_; }
    // `first` may take a line before the scripted commands do (returns true).
    void Drain(TBoardRunner& runner, const std::function<bool(std::string_view)>& first) {
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0) break;
            pending_.append(chunk, static_cast<std::size_t>(n));
        }
        std::size_t end;
        while ((end = pending_.find('\n')) != std::string::npos) {
            const auto line = std::string_view(pending_).substr(0, end);
            if (first && first(line)) {
                pending_.erase(0, end + 1);
                continue;
            }
            auto parsed = ParseCommandLine(line);
            if (!parsed.Error.empty())
                std::fprintf(stderr, "virtual-board: control: %s\n", parsed.Error.c_str());
            else if (parsed.Command)
                runner.Enqueue(std::move(*parsed.Command));
            pending_.erase(0, end + 1);
        }
    }
    ~TControlPipe() {
        if (fd_ >= 0) ::close(fd_);
    }

private:
    int fd_ = -1;
    std::string pending_;
};

// Waits (at most 5 s) until a device node that was removed has gone from /dev.
void WaitGone(const std::string& node) {
    if (node.empty()) return;
    struct stat st {};
    for (int i = 0; i < 500 && ::stat(node.c_str(), &st) == 0; ++i) ::usleep(10000);
}

// Writes the model's LCD picture to `path`.pbm, then its state to `path`,
// each under its name only once complete: a reader that sees the state file
// sees all of it, and the picture already there.
bool SaveState(const boardmodel::TBoardModel& model, const TPlugRecord& record, const std::string& path) {
    const auto write = [](const std::string& name, const std::string& content) {
        const std::string tmp = name + ".tmp";
        {
            std::ofstream file(tmp);
            file << content;
            if (!file.flush()) return false;
        }
        return std::rename(tmp.c_str(), name.c_str()) == 0;
    };
    return write(path + ".pbm", boardmodel::LcdPbm(model.Lcd())) && write(path, StateText(model, record));
}

}  // namespace

int main(int argc, char** argv) {
    TOptions options;
    switch (ParseOptions(argc, argv, options)) {
        case TParsed::Board: break;
        case TParsed::Help: return std::fputs(Usage, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
        case TParsed::Version:
            return std::printf("lumidra-virtual-board %s\n", LUMIDRA_VERSION) > 0 && std::fflush(stdout) == 0 ? 0 : 1;
        case TParsed::Wrong: std::fputs(Usage, stderr); return 2;
    }

    std::vector<TBoardCommand> script;
    if (!options.Script.empty()) {
        std::ifstream file(options.Script);
        if (!file) {
            std::fprintf(stderr, "virtual-board: cannot read %s\n", options.Script.c_str());
            return 2;
        }
        std::stringstream text;
        text << file.rdbuf();
        auto parsed = ParseScript(text.str());
        for (const auto& e : parsed.Errors)
            std::fprintf(stderr, "virtual-board: %s: %s\n", options.Script.c_str(), e.c_str());
        if (!parsed.Errors.empty()) return 2;
        script = std::move(parsed.Commands);
    }

    FILE* log = stdout;
    if (!options.Log.empty() && !(log = std::fopen(options.Log.c_str(), "w"))) {
        std::fprintf(stderr, "virtual-board: cannot write %s\n", options.Log.c_str());
        return 2;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    std::unique_ptr<TBoardDevice> device;
    if (options.Gadget)
        device = std::make_unique<TGadgetBoard>(options.Identity, options.Udc);
    else
        device = std::make_unique<TUhidBoard>(options.Identity);
    TBoardDevice& board = *device;
    TControlPipe control;
    if (!board.Open(error) || (!options.Control.empty() && !control.Open(options.Control, error))) {
        std::fprintf(stderr, "virtual-board: %s\n", error.c_str());
        return 1;
    }
    const std::string serial = board.Identity().Serial;
    auto say = [&](const std::string& text) {
        if (options.Verbose) std::fprintf(stderr, "virtual-board %s: %s\n", serial.c_str(), text.c_str());
    };

    TBoardRunner runner(board);
    runner.OnProblem(
        [&](const std::string& p) { std::fprintf(stderr, "virtual-board %s: %s\n", serial.c_str(), p.c_str()); });
    for (auto& c : script) runner.Enqueue(std::move(c));

    // The board model, its report slots and its control commands.
    std::optional<boardmodel::TBoardModel> model;
    if (options.Model) model.emplace();
    TPlugRecord plugs;
    auto period = std::chrono::nanoseconds(std::chrono::seconds(1)) / options.Rate;
    Clock::time_point nextSlot = Clock::now();
    auto modelCommand = [&](std::string_view line) {
        if (!model) return false;
        const auto result = RunModelCommand(line, *model);
        if (!result.Known) return false;
        if (!result.Error.empty()) std::fprintf(stderr, "virtual-board: control: %s\n", result.Error.c_str());
        if (result.Rate) period = std::chrono::nanoseconds(std::chrono::seconds(1)) / *result.Rate;
        if (!result.SaveTo.empty() && !SaveState(*model, plugs, result.SaveTo))
            std::fprintf(stderr, "virtual-board: cannot write %s\n", result.SaveTo.c_str());
        return true;
    };

    if (!board.Plug()) {
        std::fprintf(stderr, "virtual-board: creating the device failed: %s\n", std::strerror(errno));
        return 1;
    }
    say("created " + board.Where());

    // Commands run only while the device node exists, or while the board is
    // unplugged (so that a plug can run); between the kernel's start and the
    // node's appearance the runner waits.
    bool started = false;  // since the last plug
    std::string node;
    int rc = 0;
    bool quit = false;
    TBoardRunner::TStep step;
    while (!quit) {
        const bool ready = !board.Plugged() || !node.empty();
        if (ready) {
            const bool wasPlugged = board.Plugged();
            step = runner.Run(Clock::now());
            // A board plugged back in starts afresh (its Flash-ROM and memory keep their bytes).
            if (model && !wasPlugged && board.Plugged()) PlugAgain(*model, plugs);
            if (step.State == TBoardRunner::TState::Quit) break;
            if (!board.Plugged() && (started || !node.empty())) {
                // Unplugged: done once the node is gone, so that a node
                // reported after a replug is never the old one on its way
                // out (the kernel reuses the minor number, hence the name).
                WaitGone(node);
                if (!options.Ready.empty()) ::unlink(options.Ready.c_str());
                started = false;
                node.clear();
                say("unplugged");
            }
        }
        started = started || board.Started();
        int timeout = -1;
        if (board.Plugged() && started && node.empty())
            timeout = 10;  // looking for the node
        else if (ready && step.State == TBoardRunner::TState::RunAgain)
            timeout = 0;
        else if (ready && step.State == TBoardRunner::TState::WaitUntil) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(step.Until - Clock::now()).count();
            timeout = static_cast<int>(std::max<long long>(0, left));
        }
        const bool slots = model && board.Plugged() && !node.empty();
        if (slots) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextSlot - Clock::now()).count();
            const int untilSlot = static_cast<int>(std::max<long long>(0, left));
            timeout = timeout < 0 ? untilSlot : std::min(timeout, untilSlot);
        }

        pollfd fds[3] = {{board.Fd(), board.PollEvents(), 0}, {signalFd, POLLIN, 0}, {control.Fd(), POLLIN, 0}};
        const int n = ::poll(fds, control.Fd() >= 0 ? 3 : 2, timeout);
        if (n < 0 && errno != EINTR) {
            rc = 1;
            break;
        }
        if (fds[1].revents & POLLIN) {
            say("signal: unplugging");
            break;
        }
        if (control.Fd() >= 0 && (fds[2].revents & POLLIN)) control.Drain(runner, modelCommand);
        if (fds[0].revents != 0) {
            const auto event = board.Handle(fds[0].revents);
            using K = TBoardDevice::TEvent::TKind;
            switch (event.Kind) {
                case K::Started:
                    started = true;
                    say("started");
                    break;
                case K::Stopped: say("stopped"); break;
                case K::Opened: say("opened by the host"); break;
                case K::Closed: say("closed by the host"); break;
                case K::Output:
                    std::fprintf(log, "%s\n", FormatHex(event.Received).c_str());
                    std::fflush(log);
                    runner.OutputReceived();
                    if (model) model->Receive(event.Received);
                    break;
                case K::Failed:
                    std::fprintf(stderr, "virtual-board: reading the device failed: %s\n", std::strerror(errno));
                    rc = 1;
                    quit = true;
                    break;
                case K::None: break;
            }
        }
        if (board.Plugged() && started && node.empty()) {
            node = board.FindNode();
            if (!node.empty()) {
                say("node " + node);
                if (!options.Ready.empty()) {
                    const std::string tmp = options.Ready + ".tmp";
                    if (std::FILE* f = std::fopen(tmp.c_str(), "w")) {
                        std::fprintf(f, "%s\n", node.c_str());
                        std::fclose(f);
                        std::rename(tmp.c_str(), options.Ready.c_str());
                    }
                }
            }
        }
        // The model's report slot, once the host can open the node.
        if (model && board.Plugged() && !node.empty()) {
            const auto now = Clock::now();
            if (now >= nextSlot) {
                // A board whose last report still waits for the host skips the slot.
                if (board.ReadyForInput()) {
                    if (const auto report = model->NextReport(); report && !board.SendInput(*report))
                        std::fprintf(stderr, "virtual-board %s: sending a report failed\n", serial.c_str());
                }
                nextSlot += period;
                if (nextSlot < now) nextSlot = now + period;  // fell behind: no catching up in a burst
            }
        } else {
            nextSlot = Clock::now();
        }
    }

    board.Unplug();
    if (model) {
        for (const auto& v : plugs.Earlier)
            std::fprintf(stderr, "virtual-board %s: violation at %s\n", serial.c_str(), v.c_str());
        for (const auto& v : model->Violations())
            std::fprintf(stderr, "virtual-board %s: violation: %s\n", serial.c_str(), v.c_str());
    }
    if (!options.Ready.empty()) ::unlink(options.Ready.c_str());
    say("outputs=" + std::to_string(runner.Outputs()) + " inputs=" + std::to_string(runner.InputsSent()) +
        " dropped=" + std::to_string(board.Dropped()));
    if (log != stdout) std::fclose(log);
    return rc;
}
