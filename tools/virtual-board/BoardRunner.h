// Runs board commands against a transport, one step at a time, so that a
// single-threaded event loop can keep taking the host's output reports while a
// script sleeps, waits or streams. Time is passed in, which keeps the runner
// free of clocks and testable without a kernel.
#pragma once

#include "tools/virtual-board/BoardScript.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace lumidra::vboard {

// A paced stream: how many reports are due `elapsed` after its start (the
// first at once, then one each 1/perSecond), and when report `index` (from 0)
// is due.
std::uint64_t PaceDue(std::chrono::nanoseconds elapsed, std::uint32_t perSecond);
std::chrono::nanoseconds PaceTime(std::uint64_t index, std::uint32_t perSecond);

// What the runner needs from a transport (uhid, or a fake in tests).
class TBoardPort {
public:
    virtual ~TBoardPort() = default;
    virtual bool Plug() = 0;
    virtual bool Unplug() = 0;
    virtual bool SendInput(const TReport& report) = 0;
};

class TBoardRunner {
public:
    using Clock = std::chrono::steady_clock;

    // Reports a burst or stream sends before the runner yields to the event
    // loop, so that output reports arriving meanwhile are not left waiting.
    static constexpr std::uint32_t ChunkSize = 256;

    enum class TState {
        Idle,       // nothing queued: wait for the next command or event
        WaitUntil,  // call Run again at Until (or earlier, on an output report)
        RunAgain,   // poll events without waiting, then Run: a burst has more to
                    // send, or the device was plugged or unplugged (and the
                    // next command may have to wait until it is usable)
        Quit,       // a quit command ran: end the program
    };
    struct TStep {
        TState State = TState::Idle;
        Clock::time_point Until{};
    };

    explicit TBoardRunner(TBoardPort& port) : port_(port) {}

    void Enqueue(TBoardCommand command) { queue_.push_back(std::move(command)); }
    bool Pending() const { return !queue_.empty(); }

    // Counts the output reports the transport received.
    void OutputReceived() { ++outputs_; }
    std::uint64_t Outputs() const { return outputs_; }
    std::uint64_t InputsSent() const { return inputs_; }

    // Where the runner reports what went wrong (a failed send, a wait that
    // timed out); the program prints it.
    void OnProblem(std::function<void(const std::string&)> sink) { problem_ = std::move(sink); }

    // Runs queued commands until one has to wait.
    TStep Run(Clock::time_point now);

private:
    bool Send(const TReport& report);
    bool SendNumbered(const TReport& report, std::uint32_t count);
    void Problem(const std::string& text);

    TBoardPort& port_;
    std::deque<TBoardCommand> queue_;
    std::uint64_t outputs_ = 0;
    std::uint64_t inputs_ = 0;
    std::function<void(const std::string&)> problem_;

    // The command at the head of the queue, when it spans several Run calls.
    bool started_ = false;
    Clock::time_point deadline_{};
    Clock::time_point origin_{};  // when a paced stream started
    std::uint32_t sequence_ = 0;  // next running number of a burst or stream
};

}  // namespace lumidra::vboard
