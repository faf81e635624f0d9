// The report trace: every report that goes to the board or comes from it,
// written as it goes (`--trace FILE` of both programs): one text line each,
// or, for a file named *.pcapng, a capture the common capture tools open.
#pragma once

#include "hid/Pcapng.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace lumidra::protocol {

// One line: the time in microseconds since the trace began, "out" or "in",
// and the 64 payload bytes as upper-case hexadecimal pairs, blank-separated
// (the report ID of an output report is left out: it is always 0).
std::string TraceLine(std::int64_t micros, bool out, std::span<const std::uint8_t> payload);

enum class TTraceFormat { Text, Pcapng };

// Pcapng for a name ending in ".pcapng" (any case), else text.
TTraceFormat TraceFormatFor(std::string_view fileName);

// Called once, with the system's error number, when a trace's bytes could
// not be written whole (EPIPE: its reader went away); nothing more is traced
// into it then.
using TTraceFailed = std::function<void(int error)>;

class TReportTrace {
public:
    // Writes to `file`, which stays the caller's (it is flushed after every
    // record, so a killed run, or a reader at the end of a FIFO, has every
    // record written so far). A pcapng trace begins with its section header,
    // naming `application`; `onFailure` is told of a failure from that first
    // byte on.
    TReportTrace(std::FILE* file, TTraceFormat format = TTraceFormat::Text, std::string_view application = {},
                 TTraceFailed onFailure = {});
    TReportTrace(const TReportTrace&) = delete;
    TReportTrace& operator=(const TReportTrace&) = delete;

    // `report`: 65 bytes with the report ID first. The run's other traces
    // get it too.
    void Out(std::span<const std::uint8_t> report);
    // `report`: the 64 bytes of an input report.
    void In(std::span<const std::uint8_t> report);
    // The board is attached at `place`: a pcapng trace gets the descriptor
    // exchange that identifies it there, as an enumeration would show it.
    void Attached(const hid::TUsbPlace& place);

private:
    friend class TTraceFile;

    std::int64_t Micros() const;  // since the trace began
    void Write(bool out, std::span<const std::uint8_t> payload);
    void Put(std::span<const std::uint8_t> bytes);

    std::FILE* file_;
    TTraceFormat format_;
    TTraceFailed onFailure_;
    bool failed_ = false;
    std::chrono::steady_clock::time_point start_;
    std::int64_t startMicros_;  // the wall clock at the start, for pcapng's times
    hid::TPcapngStream pcapng_;
    TReportTrace* next_ = nullptr;  // the trace opened before this one
};

// The trace of the run opened last, or null when none is kept (the default);
// it hands each report on to the ones opened before it.
extern TReportTrace* ReportTrace;

// Why a trace file was stopped: its name as given, and the system's error
// number.
struct TTraceFailure {
    std::string FileName;
    int Error = 0;
    // The reader at the end of its pipe or FIFO went away: nothing is wrong
    // with the data, nobody reads it any more.
    bool ReaderGone() const;
};

// One of the run's trace files: while it is open, it gets every report.
class TTraceFile {
public:
    TTraceFile() = default;
    ~TTraceFile();
    TTraceFile(const TTraceFile&) = delete;
    TTraceFile& operator=(const TTraceFile&) = delete;

    // Creates or empties `fileName` and traces into it in the format its name
    // asks for, naming `program` and its version where the format has room;
    // false when it cannot be opened (nothing is traced then). A write that
    // fails later, or the pcapng header within Open, stops this trace (its
    // file is closed, the others go on) and tells `onFailure` once; which
    // program ends for it is the caller's choice. A reader that goes away is
    // such a failure, never the end of the process (SIGPIPE is ignored from
    // here on).
    bool Open(const std::string& fileName, std::string_view program,
              std::function<void(const TTraceFailure&)> onFailure);
    // The trace in hand, or null.
    TReportTrace* Trace() const { return trace_.get(); }

private:
    std::FILE* file_ = nullptr;
    std::unique_ptr<TReportTrace> trace_;
};

}  // namespace lumidra::protocol
