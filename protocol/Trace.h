// The report trace: every report that goes to the board or comes from it,
// one line each, written as it goes (`--trace FILE` of both programs).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace lumidra::protocol {

// One line: the time in microseconds since the trace began, "out" or "in",
// and the 64 payload bytes as upper-case hexadecimal pairs, blank-separated
// (the report ID of an output report is left out: it is always 0).
std::string TraceLine(std::int64_t micros, bool out, std::span<const std::uint8_t> payload);

class TReportTrace {
public:
    // Writes to `file`, which stays the caller's (it is flushed after every
    // line, so a killed run leaves every line written so far).
    explicit TReportTrace(std::FILE* file);
    TReportTrace(const TReportTrace&) = delete;
    TReportTrace& operator=(const TReportTrace&) = delete;

    // `report`: 65 bytes with the report ID first.
    void Out(std::span<const std::uint8_t> report);
    // `report`: the 64 bytes of an input report.
    void In(std::span<const std::uint8_t> report);

    // Called once, with the system's error number, when a line could not be
    // written whole; nothing more is traced then.
    std::function<void(int)> OnFailure;

private:
    void Write(bool out, std::span<const std::uint8_t> payload);

    std::FILE* file_;
    bool failed_ = false;
    std::chrono::steady_clock::time_point start_;
};

// The trace of the run, or null when none is kept (the default).
extern TReportTrace* ReportTrace;

// The run's trace file: while one is open, it is the run's ReportTrace.
class TTraceFile {
public:
    TTraceFile() = default;
    ~TTraceFile();
    TTraceFile(const TTraceFile&) = delete;
    TTraceFile& operator=(const TTraceFile&) = delete;

    // Creates or empties `fileName` and traces into it; false when it cannot
    // be written (nothing is traced then).
    bool Open(const std::string& fileName);
    // The trace in hand, or null.
    TReportTrace* Trace() const { return trace_.get(); }

private:
    std::FILE* file_ = nullptr;
    std::unique_ptr<TReportTrace> trace_;
};

}  // namespace lumidra::protocol
