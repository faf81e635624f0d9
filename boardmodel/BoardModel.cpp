#include "boardmodel/BoardModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumidra::boardmodel {

namespace {

constexpr std::uint8_t EndByte = 0xE3;       // ends a controller byte list
constexpr std::uint8_t ContrastByte = 0xAD;  // followed by 0x80 + level
constexpr std::uint8_t FlashParam1 = 64;
constexpr std::uint8_t FlashParam2 = 127;
constexpr std::uint8_t FlashRead = 0, FlashErase = 1, FlashWrite = 2;
constexpr std::uint8_t TextSplash = 2;
constexpr std::uint8_t PlotParam2 = 4, PlotParam5 = 3, PlotParam6 = 251;
constexpr int ImageReports = 14;  // 864 band bytes, the last report half full

char HexDigit(int v) {
    return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10);
}

// Which way a job ends: with JobReport code 0 (the host sends more JobReports
// until then), or with StateReport byte 5 = 0 after its DataReports.
bool EndsWithCode0(TJobCode code, std::uint8_t mode) {
    switch (code) {
        case TJobCode::DumpBlock:
        case TJobCode::Plot: return true;
        case TJobCode::Flash: return mode == FlashRead;
        case TJobCode::LcdText: return mode == TextSplash;
        default: return false;
    }
}

}  // namespace

std::string LedText(const TLed& led) {
    std::string digits{HexDigit(led.Left >> 4), HexDigit(led.Left & 15), HexDigit(led.Right >> 4),
                       HexDigit(led.Right & 15)};
    if (led.Mode == 3) digits.insert(2, ":");
    if (led.Mode == 2) digits.insert(2, ".");
    return digits;
}

bool LcdDot(const TLcd& lcd, int x, int y) {
    if (x < 0 || x >= LcdWidth || y < 0 || y >= LcdHeight) return false;
    const auto at = static_cast<std::size_t>(y / 8) * LcdWidth + static_cast<std::size_t>(x);
    return (lcd.Bands[at] >> (y % 8)) & 1;
}

std::string LcdPbm(const TLcd& lcd) {
    std::string out = "P1\n96 68\n";
    for (int y = 0; y < LcdHeight; ++y) {
        for (int x = 0; x < LcdWidth; ++x) out += LcdDot(lcd, x, y) ? '1' : '0';
        out += '\n';
    }
    return out;
}

std::vector<std::string> LcdTextLines(const TLcd& lcd) {
    std::vector<std::string> lines;
    for (std::size_t line = 0; line < LcdTextSize / 16; ++line) {
        std::string text;
        for (std::size_t i = 0; i < 16; ++i) {
            const std::uint8_t c = lcd.Text[line * 16 + i];
            text += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
        }
        lines.push_back(text);
    }
    return lines;
}

std::uint8_t MemoryPattern(std::size_t address) {
    return static_cast<std::uint8_t>(address % 251);
}

std::array<std::uint8_t, FlashBlockSize> FlashPattern() {
    std::array<std::uint8_t, FlashBlockSize> block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
    return block;
}

TReport PlotPattern(std::uint32_t n) {
    TReport r{};
    for (int i = 0; i < PlotPoints; ++i) {
        const int tile = i % 8;
        const std::uint32_t step = n * 4 + static_cast<std::uint32_t>(i / 8);
        const double phase = 2 * std::numbers::pi * static_cast<double>(step % 255) * (tile + 1) / 255.0;
        const auto at = 2 * static_cast<std::size_t>(i);
        r[at] = static_cast<std::uint8_t>(step % 255 + 1);
        r[at + 1] = static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(phase)));
    }
    return r;
}

TBoardModel::TBoardModel() : flash_(FlashPattern()), plotSource_(PlotPattern) {
    for (std::size_t a = 0; a < memory_.size(); ++a) memory_[a] = MemoryPattern(a);
}

void TBoardModel::Violation(std::string text) {
    violations_.push_back(std::move(text));
}

TReport TBoardModel::Status(std::uint8_t jobAck) const {
    TBoardStatus status = inputs_;
    status.JobAck = jobAck;
    return MakeStatusReport(status);
}

// ---------------------------------------------------------------------------
// The wire

void TBoardModel::Receive(std::span<const std::uint8_t> payload) {
    if (payload.size() > ReportSize) {
        Violation("output report of " + std::to_string(payload.size()) + " bytes");
        return;
    }
    TReport p{};
    std::copy(payload.begin(), payload.end(), p.begin());
    if (jobState_ == TJobState::Open && dataExpected_ > 0) {
        DataReport(p);
        return;
    }
    // The host's buffers are not tagged; the firmware tells them apart by
    // the handshake and by the bytes each buffer can hold. StateReport and
    // JobReport never write past byte 6, and only a plot request writes byte
    // 6 (251): anything further is a payload nobody announced.
    if (std::any_of(p.begin() + 6, p.end(), [](std::uint8_t b) { return b != 0; }) ||
        (p[5] != 0 && p[5] != PlotParam6)) {
        Violation("DataReport nobody asked for");
        return;
    }
    // Byte 5 of a StateReport is the job request flag (0 or 1); a JobReport
    // carries 0 there, or 3 once a plot request has written it.
    if (p[4] == PlotParam5 || (p[4] == 0 && jobState_ == TJobState::Open && expectJob_)) {
        if (jobState_ != TJobState::Open) {
            Violation("JobReport without an acknowledged job request");
            return;
        }
        JobReport(p);
    } else {
        StateReport(p);
    }
}

std::optional<TReport> TBoardModel::NextReport() {
    switch (jobState_) {
        case TJobState::Idle: return Status(0);
        case TJobState::Requested:
            if (withholdAcks_ || ackWait_-- > 0) return Status(0);
            jobState_ = TJobState::Open;
            expectJob_ = true;
            return Status(1);
        case TJobState::Open: {
            auto answer = answer_;
            answer_.reset();
            return answer;
        }
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Output reports

void TBoardModel::StateReport(std::span<const std::uint8_t, ReportSize> p) {
    led_.Right = p[0];
    led_.Left = p[1];
    led_.Mode = p[2] & 3;
    led_.Indicator1 = (p[2] & 0x04) != 0;
    led_.Indicator2 = (p[2] & 0x80) != 0;
    if ((p[2] & 0x78) != 0) Violation("StateReport byte 3 sets bits 3 to 6");
    switch (p[3]) {
        case 0: break;  // a cleared buffer: no command
        case 1:
            lcd_.Backlight = true;
            hostLeft_ = false;
            break;
        case 5:
            lcd_.Backlight = false;
            hostLeft_ = false;
            break;
        case 2: hostLeft_ = true; break;
        default: Violation("unknown command byte " + std::to_string(p[3]));
    }
    switch (p[4]) {
        case 1:
            if (jobState_ == TJobState::Idle) {
                jobState_ = TJobState::Requested;
                ackWait_ = ackDelay_;
            }
            break;
        case 0:
            if (jobState_ == TJobState::Requested) jobState_ = TJobState::Idle;  // nothing started yet
            if (jobState_ == TJobState::Open) EndJob();
            break;
        default: Violation("StateReport byte 5 = " + std::to_string(p[4]));
    }
}

void TBoardModel::JobReport(std::span<const std::uint8_t, ReportSize> p) {
    if (answer_) Violation("JobReport before the answer to the last one went out");
    answer_.reset();
    const std::uint8_t code = p[0];
    const std::uint8_t mode = p[1];
    const auto job = static_cast<TJobCode>(code);
    dataReceived_ = 0;
    switch (job) {
        case TJobCode::End: EndJob(); return;
        case TJobCode::DumpBlock: {
            const std::size_t offset = p[1] | (p[2] << 8);
            if (offset + ReportSize > MemorySize) Violation("dump block at offset " + std::to_string(offset));
            TReport block{};
            for (std::size_t i = 0; i < ReportSize; ++i) block[i] = memory_[(offset + i) % MemorySize];
            answer_ = block;
            break;
        }
        case TJobCode::Image: dataExpected_ = ImageReports; break;
        case TJobCode::LcdCommand: dataExpected_ = 1; break;
        case TJobCode::LcdText:
            if (mode == 0)
                dataExpected_ = 3;
            else if (mode == 1)
                dataExpected_ = 2;
            else if (mode == TextSplash)
                lcd_.Shows = TLcdContent::Splash;
            else
                Violation("LCD text mode " + std::to_string(mode));
            break;
        case TJobCode::Flash:
            if (p[2] != FlashParam1 || p[3] != FlashParam2)
                Violation("Flash-ROM parameters " + std::to_string(p[2]) + ", " + std::to_string(p[3]));
            if (mode == FlashRead) {
                TReport block{};
                std::copy(flash_.begin(), flash_.end(), block.begin());
                answer_ = block;
            } else if (mode == FlashErase) {
                flash_.fill(0xFF);
            } else if (mode == FlashWrite) {
                dataExpected_ = 1;
            } else {
                Violation("Flash-ROM operation " + std::to_string(mode));
            }
            break;
        case TJobCode::Plot:
            if (p[1] != PlotParam2 || p[4] != PlotParam5 || p[5] != PlotParam6) Violation("plot request parameters");
            answer_ = plotSource_(plotReports_++);
            break;
        default: Violation("unknown job code " + std::to_string(code)); return;
    }
    openJob_ = job;
    openMode_ = mode;
    // The jobs that end with code 0 go on with JobReports; the others take
    // their DataReports and end with StateReport byte 5 = 0.
    expectJob_ = EndsWithCode0(job, mode);
}

void TBoardModel::DataReport(std::span<const std::uint8_t, ReportSize> p) {
    const int index = dataReceived_++;
    --dataExpected_;
    switch (*openJob_) {
        case TJobCode::Image: {
            const std::size_t start = static_cast<std::size_t>(index) * ReportSize;
            const std::size_t n = std::min(ReportSize, LcdBandBytes - start);
            std::copy_n(p.begin(), n, lcd_.Bands.begin() + static_cast<std::ptrdiff_t>(start));
            if (dataExpected_ == 0) lcd_.Shows = TLcdContent::Picture;
            break;
        }
        case TJobCode::LcdCommand: LcdCommand(p); break;
        case TJobCode::LcdText:
            // The third report of the normal size is the blank tail of the screen.
            if (index < 2) std::copy(p.begin(), p.end(), lcd_.Text.begin() + index * ReportSize);
            if (dataExpected_ == 0) {
                lcd_.Shows = TLcdContent::Text;
                lcd_.TextMode = openMode_;
            }
            break;
        case TJobCode::Flash: std::copy_n(p.begin(), FlashBlockSize, flash_.begin()); break;
        default: break;
    }
}

void TBoardModel::LcdCommand(std::span<const std::uint8_t, ReportSize> p) {
    const auto end = std::find(p.begin(), p.end(), EndByte);
    lcd_.LastCommand.assign(p.begin(), end);
    const auto& c = lcd_.LastCommand;
    if (c.size() == 2 && c[0] == ContrastByte && c[1] >= 0x80 && c[1] <= 0x9F)
        lcd_.Contrast = static_cast<std::uint8_t>(c[1] - 0x80);
}

void TBoardModel::EndJob() {
    jobState_ = TJobState::Idle;
    openJob_.reset();
    openMode_ = 0;
    dataExpected_ = 0;
    dataReceived_ = 0;
    expectJob_ = false;
    answer_.reset();
}

// ---------------------------------------------------------------------------
// Surroundings

void TBoardModel::SetChannel(int channel, std::uint16_t value) {
    (channel == 1 ? inputs_.Analog1 : inputs_.Analog2) = value;
}

void TBoardModel::SetInputs(std::uint8_t bits) {
    inputs_.Inputs = bits;
}

void TBoardModel::PresentKey(const std::array<std::uint8_t, 8>& id) {
    inputs_.KeyId = id;
    inputs_.KeyStatus = 1;
}

void TBoardModel::RemoveKey() {
    inputs_.KeyStatus = 0;
}

void TBoardModel::SetKeyStatus(std::uint8_t status) {
    inputs_.KeyStatus = status;
}

void TBoardModel::SetPlotSource(std::function<TReport(std::uint32_t)> source) {
    plotSource_ = source ? std::move(source) : PlotPattern;
}

void TBoardModel::PowerCycle() {
    led_ = {};
    lcd_ = {};
    hostLeft_ = false;
    inputs_.KeyStatus = 0;
    EndJob();
    violations_.clear();
    plotReports_ = 0;
}

}  // namespace lumidra::boardmodel
