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
        StampSequence(numbered, sequence_);
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
                        Problem("wait-output " + std::to_string(c.Count) + ": only " +
                                std::to_string(outputs_) + " output reports after " +
                                std::to_string(c.Timeout.count()) + " ms");
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
                [&](const TStopCommand&) -> std::optional<TStep> { return std::nullopt; },
                [&](const TUnplugCommand&) -> std::optional<TStep> {
                    if (!port_.Unplug()) Problem("unplug failed");
                    return TStep{TState::RunAgain, {}};
                },
                [&](const TPlugCommand&) -> std::optional<TStep> {
                    if (!port_.Plug()) Problem("plug failed");
                    return TStep{TState::RunAgain, {}};
                },
                [&](const TQuitCommand&) -> std::optional<TStep> { return TStep{TState::Quit, {}}; },
            },
            queue_.front());
        started_ = !done;
        if (done) queue_.pop_front();
        if (step) return *step;
    }
    return {TState::Idle, {}};
}

}  // namespace lumidra::vboard
