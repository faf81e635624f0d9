#include "protocol/Trace.h"

#include "protocol/Hex.h"

#include <cerrno>

namespace lumidra::protocol {

TReportTrace* ReportTrace = nullptr;

std::string TraceLine(std::int64_t micros, bool out, std::span<const std::uint8_t> payload) {
    std::string line = std::to_string(micros) + (out ? " out" : " in ");
    line.reserve(line.size() + 3 * payload.size() + 1);
    for (const std::uint8_t byte : payload) line += ' ' + ByteToHex(byte);
    line += '\n';
    return line;
}

TReportTrace::TReportTrace(std::FILE* file) : file_(file), start_(std::chrono::steady_clock::now()) {}

void TReportTrace::Out(std::span<const std::uint8_t> report) {
    Write(true, report.subspan(1));
}

void TReportTrace::In(std::span<const std::uint8_t> report) {
    Write(false, report);
}

void TReportTrace::Write(bool out, std::span<const std::uint8_t> payload) {
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(steady_clock::now() - start_).count();
    if (failed_) return;
    const std::string line = TraceLine(micros, out, payload);
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) {
        failed_ = true;
        if (OnFailure) OnFailure(errno);
    }
}

TTraceFile::~TTraceFile() {
    if (ReportTrace == trace_.get()) ReportTrace = nullptr;
    if (file_ != nullptr) std::fclose(file_);
}

bool TTraceFile::Open(const std::string& fileName) {
    file_ = std::fopen(fileName.c_str(), "w");
    if (file_ == nullptr) return false;
    trace_ = std::make_unique<TReportTrace>(file_);
    ReportTrace = trace_.get();
    return true;
}

}  // namespace lumidra::protocol
