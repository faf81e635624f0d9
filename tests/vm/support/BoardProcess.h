// The virtual board (uhid, or a USB gadget) as a child process, for the tests
// that run inside the VM: starts lumidra-virtual-board with a private folder
// for its control pipe, output log and ready file, and reads back what it
// received.
#pragma once

#include "tools/virtual-board/BoardDevice.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumidra::vmtest {

using Bytes = std::vector<std::uint8_t>;

// Whether this kernel can make virtual HID devices (false on the build host).
bool UhidAvailable();
// Whether it can make USB gadgets and has a device controller to bind them to.
bool GadgetAvailable();

// What the board tool's path is: $LUMIDRA_VIRTUAL_BOARD, else the one built
// beside the tests.
std::string VirtualBoardPath();

class TBoardProcess {
public:
    struct TOptions {
        std::string Serial = "01.01";
        std::vector<std::string> ExtraArguments;
        std::string Bus = "uhid";  // or "gadget": the board's --bus
    };
    TBoardProcess();
    explicit TBoardProcess(TOptions options);
    ~TBoardProcess();  // stops the board (an unplug) if still running
    TBoardProcess(const TBoardProcess&) = delete;
    TBoardProcess& operator=(const TBoardProcess&) = delete;

    // Waits until the device node exists; its path, or empty on timeout.
    // Where udevd runs it also waits for udevd to have handled the node
    // (`settle`), which a test that lets the program find the node through
    // udevd's own news can leave out.
    std::string WaitNode(std::chrono::milliseconds timeout = std::chrono::seconds(10), bool settle = true);
    // Waits until the board reports itself unplugged (ready file gone).
    bool WaitUnplugged(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    const std::string& Node() const { return node_; }

    // Sends one command line through the control pipe.
    bool Command(std::string_view line);

    // Every output report the board received, in order, as it received them.
    std::vector<Bytes> Outputs() const;
    bool WaitOutputs(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Unplugs and ends the board; its exit status (-1 if it could not be waited for).
    int Stop();
    // Waits for the board to end by itself (a quit command); its exit status,
    // or -1 when it is still running after `timeout`.
    int WaitExit(std::chrono::milliseconds timeout);
    pid_t Pid() const { return pid_; }
    bool Running() const { return pid_ > 0; }

private:
    TOptions options_;
    std::string dir_, fifo_, log_, ready_;
    pid_t pid_ = -1;
    int control_ = -1;
    std::string node_;
};

using vboard::UeventValue;

}  // namespace lumidra::vmtest
