#include "tools/virtual-board/BoardRunner.h"

#include <algorithm>
#include <optional>

namespace lumidra::vboard {

namespace {
template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;
}  // namespace

std::uint64_t PaceDue(std::chrono::nanoseconds elapsed, std::uint32_t perSecond) {
    constexpr std::uint64_t NsPerSecond = 1000000000;
    if (elapsed.count() < 0) return 0;
    const auto ns = static_cast<std::uint64_t>(elapsed.count());
    // Whole seconds and the rest apart: the product stays far from overflow.
    return ns / NsPerSecond * perSecond + ns % NsPerSecond * perSecond / NsPerSecond + 1;
}

std::chrono::nanoseconds PaceTime(std::uint64_t index, std::uint32_t perSecond) {
    constexpr std::uint64_t NsPerSecond = 1000000000;
    const std::uint64_t rest = index % perSecond;
    // Rounded up, so that at this time the report is due and not one tick later.
    const std::uint64_t ns = index / perSecond * NsPerSecond + (rest * NsPerSecond + perSecond - 1) / perSecond;
    return std::chrono::nanoseconds(static_cast<std::int64_t>(ns));
}

void TBoardRunner::Problem(const std::string& text) {
    if (problem_) problem_(text);
}

bool TBoardRunner::Send(const TReport& report) {
    if (!port_.SendInput(report)) {
        Problem("sending an input report failed");
        return false;
    }
    ++inputs_;
    return true;
}

bool TBoardRunner::SendNumbered(const TReport& report, std::uint32_t count) {
    TReport numbered = report;
    for (std::uint32_t i = 0; i < count; ++i) {
        boardmodel::StampSequence(numbered, sequence_);
        if (!Send(numbered)) return false;
        ++sequence_;
    }
    return true;
}

TBoardRunner::TStep TBoardRunner::Run(Clock::time_point now) {
    while (!queue_.empty()) {
        // Each visitor returns a step to hand back to the event loop, or
        // nothing when the head command is done and the next one may run.
        bool done = true;
        std::optional<TStep> step = std::visit(
            Overloaded{
                [&](const TSendCommand& c) -> std::optional<TStep> {
                    Send(c.Report);
                    return std::nullopt;
                },
                [&](const TSleepCommand& c) -> std::optional<TStep> {
                    if (!started_) deadline_ = now + c.Duration;
                    if (now < deadline_) {
                        done = false;
                        return TStep{TState::WaitUntil, deadline_};
                    }
                    return std::nullopt;
                },
                [&](const TWaitOutputCommand& c) -> std::optional<TStep> {
                    if (!started_) deadline_ = now + c.Timeout;
                    if (outputs_ >= c.Count) return std::nullopt;
                    if (now >= deadline_) {
                        Problem("wait-output " + std::to_string(c.Count) + ": only " + std::to_string(outputs_) +
                                " output reports after " + std::to_string(c.Timeout.count()) + " ms");
                        return std::nullopt;
                    }
                    done = false;
                    return TStep{TState::WaitUntil, deadline_};
                },
                [&](const TBurstCommand& c) -> std::optional<TStep> {
                    if (!started_) sequence_ = 0;
                    const std::uint32_t n = std::min(ChunkSize, c.Count - sequence_);
                    if (!SendNumbered(c.Report, n) || sequence_ >= c.Count) return std::nullopt;
                    done = false;
                    return TStep{TState::RunAgain, {}};
                },
                [&](const TStreamCommand& c) -> std::optional<TStep> {
                    if (!started_) sequence_ = 0;
                    // Any later command ends the stream.
                    if (queue_.size() > 1 || !SendNumbered(c.Report, ChunkSize)) return std::nullopt;
                    done = false;
                    return TStep{TState::RunAgain, {}};
                },
                [&](const TPaceCommand& c) -> std::optional<TStep> {
                    if (!started_) {
                        sequence_ = 0;
                        origin_ = now;
                    }
                    if (queue_.size() > 1) return std::nullopt;  // any later command ends it
                    const std::uint64_t due = PaceDue(now - origin_, c.PerSecond);
                    if (due > sequence_) {
                        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(ChunkSize, due - sequence_));
                        if (!SendNumbered(c.Report, n)) return std::nullopt;
                    }
                    done = false;
                    if (due > sequence_) return TStep{TState::RunAgain, {}};
                    return TStep{TState::WaitUntil, origin_ + PaceTime(sequence_, c.PerSecond)};
                },
                [&](const TStopCommand&) -> std::optional<TStep> { return std::nullopt; },
                [&](const TUnplugCommand&) -> std::optional<TStep> {
                    if (!port_.Unplug()) Problem("unplug failed");
                    return TStep{TState::RunAgain, {}};
                },
                [&](const TPlugCommand&) -> std::optional<TStep> {
                    if (!port_.Plug()) Problem("plug failed");
                    return TStep{TState::RunAgain, {}};
                },
                [&](const TQuitCommand&) -> std::optional<TStep> {
                    return TStep{TState::Quit, {}};
                },
            },
            queue_.front());
        started_ = !done;
        if (done) queue_.pop_front();
        if (step) return *step;
    }
    return {TState::Idle, {}};
}

}  // namespace lumidra::vboard
