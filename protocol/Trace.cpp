#include "protocol/Trace.h"

#include "desktop/OutputFile.h"
#include "protocol/Board.h"
#include "protocol/Hex.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

namespace lumidra::protocol {

namespace {

constexpr std::string_view PcapngSuffix = ".pcapng";
constexpr std::uint16_t BoardRelease = 0x0100;  // the device descriptor's bcdDevice
constexpr std::string_view WrittenNotCaptured =
    "Written by the program, not captured: the device's descriptors stand for its enumeration.";

std::int64_t WallClockMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

TReportTrace* ReportTrace = nullptr;

std::string TraceLine(std::int64_t micros, bool out, std::span<const std::uint8_t> payload) {
    std::string line = std::to_string(micros) + (out ? " out" : " in ");
    line.reserve(line.size() + 3 * payload.size() + 1);
    for (const std::uint8_t byte : payload) line += ' ' + ByteToHex(byte);
    line += '\n';
    return line;
}

TTraceFormat TraceFormatFor(std::string_view fileName) {
    const bool pcapng = fileName.size() >= PcapngSuffix.size() &&
                        std::equal(PcapngSuffix.rbegin(), PcapngSuffix.rend(), fileName.rbegin(),
                                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    return pcapng ? TTraceFormat::Pcapng : TTraceFormat::Text;
}

TReportTrace::TReportTrace(std::FILE* file, TTraceFormat format, std::string_view application, TTraceFailed onFailure)
    : file_(file),
      format_(format),
      onFailure_(std::move(onFailure)),
      start_(std::chrono::steady_clock::now()),
      startMicros_(WallClockMicros()),
      pcapng_({.VendorId = BoardVendorID, .ProductId = BoardProductID, .Release = BoardRelease}) {
    if (format_ == TTraceFormat::Pcapng) Put(pcapng_.Begin(application));
}

void TReportTrace::Out(std::span<const std::uint8_t> report) {
    Write(true, report.subspan(1));
    if (next_ != nullptr) next_->Out(report);
}

void TReportTrace::In(std::span<const std::uint8_t> report) {
    Write(false, report);
    if (next_ != nullptr) next_->In(report);
}

void TReportTrace::Attached(const hid::TUsbPlace& place) {
    if (format_ == TTraceFormat::Pcapng) Put(pcapng_.Enumeration(place, startMicros_ + Micros(), WrittenNotCaptured));
    if (next_ != nullptr) next_->Attached(place);
}

std::int64_t TReportTrace::Micros() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now() - start_).count();
}

void TReportTrace::Write(bool out, std::span<const std::uint8_t> payload) {
    const std::int64_t micros = Micros();
    if (format_ == TTraceFormat::Pcapng) {
        Put(pcapng_.Report(startMicros_ + micros, out, payload));
        return;
    }
    const std::string line = TraceLine(micros, out, payload);
    Put({reinterpret_cast<const std::uint8_t*>(line.data()), line.size()});
}

void TReportTrace::Put(std::span<const std::uint8_t> bytes) {
    if (failed_) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::fflush(file_) != 0) {
        const int error = errno;
        failed_ = true;
        if (onFailure_) onFailure_(error);
    }
}

TTraceFile::~TTraceFile() {
    for (TReportTrace** link = &ReportTrace; *link != nullptr; link = &(*link)->next_) {
        if (*link == trace_.get()) {
            *link = trace_->next_;
            break;
        }
    }
    if (file_ != nullptr) std::fclose(file_);
}

bool TTraceFailure::ReaderGone() const {
    return Error == EPIPE;
}

bool TTraceFile::Open(const std::string& fileName, std::string_view program,
                      std::function<void(const TTraceFailure&)> onFailure) {
    desktop::KeepRunningOnClosedPipe();
    const TTraceFormat format = TraceFormatFor(fileName);
    file_ = std::fopen(fileName.c_str(), format == TTraceFormat::Pcapng ? "wb" : "w");
    if (file_ == nullptr) return false;
    // The trace writes nothing more once it failed; its file is let go at
    // once (a FIFO's end too), before the program hears of it.
    const auto failed = [this, fileName, onFailure = std::move(onFailure)](int error) {
        std::fclose(std::exchange(file_, nullptr));
        if (onFailure) onFailure(TTraceFailure{fileName, error});
    };
    trace_ = std::make_unique<TReportTrace>(file_, format, std::string(program) + " " LUMIDRA_VERSION, failed);
    trace_->next_ = ReportTrace;
    ReportTrace = trace_.get();
    return true;
}

}  // namespace lumidra::protocol
