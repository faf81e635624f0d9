// A model of the demonstration board: it takes the host's 64-byte output
// reports and answers with 64-byte input reports the way the board's firmware
// does, and keeps what the board holds (LED display, LCD, Flash-ROM block,
// memory, key reader, channels, inputs) where a test can read it. It has no
// transport and no clock: a transport (BusBoard.h, or /dev/uhid in
// tools/virtual-board) or a test steps it. What it answers, slot by slot, and
// what it records as a violation: README.md.
#pragma once

#include "boardmodel/BoardReports.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumidra::boardmodel {

inline constexpr int LcdWidth = 96;
inline constexpr int LcdHeight = 68;
inline constexpr int LcdBands = 9;                                // 8 rows each, 72 >= 68
inline constexpr std::size_t LcdBandBytes = LcdBands * LcdWidth;  // 864
inline constexpr std::size_t LcdTextSize = 128;                   // 8 lines of 16
inline constexpr std::size_t FlashBlockSize = 64;
inline constexpr std::size_t MemorySize = 4096;
inline constexpr int PlotPoints = 32;

// Job codes of JobReport byte 1.
enum class TJobCode : std::uint8_t {
    End = 0,
    DumpBlock = 1,
    Image = 2,
    LcdCommand = 4,
    LcdText = 8,
    Flash = 16,
    Plot = 32,
};

// The LED display as the last StateReport set it.
struct TLed {
    std::uint8_t Right = 0;   // byte 1: right-hand digit pair
    std::uint8_t Left = 0;    // byte 2: left-hand digit pair
    std::uint8_t Mode = 0;    // byte 3 bits 0-1: 0 number, 3 time, 2 date
    bool Indicator1 = false;  // byte 3 bit 2
    bool Indicator2 = false;  // byte 3 bit 7
};
// "ABCD" for a number, "09:05" for a time, "05.03" for a date, "ABCD" as well
// for mode 1, which no host sends.
std::string LedText(const TLed& led);

// What the LCD shows now.
enum class TLcdContent { Blank, Picture, Text, Splash };

struct TLcd {
    TLcdContent Shows = TLcdContent::Blank;
    // The picture as band bytes: band b (rows 8b to 8b+7), column x at
    // b * 96 + x; bit n is row 8b + n, 1 a dark dot.
    std::array<std::uint8_t, LcdBandBytes> Bands{};
    std::array<std::uint8_t, LcdTextSize> Text{};  // Windows-1251 characters
    std::optional<std::uint8_t> TextMode;          // 0 normal, 1 the 1.5 size
    std::optional<std::uint8_t> Contrast;          // 0..31, from AD 80+level
    std::vector<std::uint8_t> LastCommand;         // bytes before the end byte E3
    bool Backlight = false;
};
// Whether the dot at (x, y) of the picture is dark; outside reads clear.
bool LcdDot(const TLcd& lcd, int x, int y);
// The picture as a plain PBM ("P1", 96 x 68, 1 = dark).
std::string LcdPbm(const TLcd& lcd);
// The text screen as 8 lines of 16 characters (bytes above 127 as '?').
std::vector<std::string> LcdTextLines(const TLcd& lcd);

// What the status reports carry: channels, inputs, key status and key (its
// JobAck field is the model's to set).
using TInputs = TBoardStatus;

// Memory byte at `address` (0..4095) as the board starts: address mod 251.
// Every 64-byte block differs from every other, so a block fetched from the
// wrong offset shows.
std::uint8_t MemoryPattern(std::size_t address);
// The Flash-ROM block as the board starts: the bytes 0x00 to 0x3F.
std::array<std::uint8_t, FlashBlockSize> FlashPattern();
// The default plot source: the 32 points of the n-th point report (n from 0).
// Point i goes to tile i mod 8; x offsets run 1..255 (never 0, so every point
// report also reads as a non-zero JobAck, which is what lets a host stop a
// plot), y traces a sine wave whose frequency grows with the tile.
TReport PlotPattern(std::uint32_t n);

// Where the board is in the job handshake.
enum class TJobState {
    Idle,       // status reports; a StateReport byte 5 = 1 requests a job
    Requested,  // the acknowledgement is due (or delayed, or withheld)
    Open,       // acknowledged: silent, answering the host's JobReports
};

class TBoardModel {
public:
    TBoardModel();

    // --- the wire ----------------------------------------------------------
    // One output report as the board receives it: the 64 payload bytes (a
    // leading report-ID byte 0 already dropped). Shorter reports count as
    // zero-padded, longer ones as a violation.
    void Receive(std::span<const std::uint8_t> payload);
    // The board's report for its next report slot, or nothing when it waits
    // silently for the host inside a job.
    std::optional<TReport> NextReport();

    // --- what the board holds (readable and settable by tests) -------------
    const TLed& Led() const { return led_; }
    const TLcd& Lcd() const { return lcd_; }
    bool HostLeft() const { return hostLeft_; }  // the host sent command byte 2
    std::array<std::uint8_t, FlashBlockSize>& Flash() { return flash_; }
    const std::array<std::uint8_t, FlashBlockSize>& Flash() const { return flash_; }
    std::array<std::uint8_t, MemorySize>& Memory() { return memory_; }
    const std::array<std::uint8_t, MemorySize>& Memory() const { return memory_; }
    const TInputs& Inputs() const { return inputs_; }

    // --- the board's surroundings -------------------------------------------
    void SetChannel(int channel, std::uint16_t value);  // channel 1 or 2, 0..1023
    void SetInputs(std::uint8_t bits);
    void PresentKey(const std::array<std::uint8_t, 8>& id);  // status 1, key held
    void RemoveKey();                                        // status 0
    void SetKeyStatus(std::uint8_t status);                  // any raw status (2, 5, 8, ...)
    // The plot source: report n (from 0) of a plot. Default PlotPattern.
    void SetPlotSource(std::function<TReport(std::uint32_t)> source);

    // --- the handshake --------------------------------------------------------
    // The acknowledgement goes out `count` report slots later than it would
    // (status reports with JobAck 0 before it). 0 by default.
    void DelayAcks(int count) { ackDelay_ = count; }
    // No acknowledgement at all while set; status reports go on.
    void WithholdAcks(bool withhold) { withholdAcks_ = withhold; }
    TJobState JobState() const { return jobState_; }
    // The code of the open job's last JobReport, if any.
    std::optional<TJobCode> OpenJob() const { return openJob_; }
    // DataReports the open job still expects.
    int DataExpected() const { return dataExpected_; }
    // Point reports sent since the board started.
    std::uint32_t PlotReports() const { return plotReports_; }
    // A power cycle (unplug and plug again): the display, the LCD, the key
    // reader, the handshake and the violations start over; the Flash-ROM
    // block and the memory keep their bytes.
    void PowerCycle();

    // --- the record a test asserts empty --------------------------------------
    // One line per protocol violation: "DataReport nobody asked for",
    // "unknown job code 3", ... in the order they happened.
    const std::vector<std::string>& Violations() const { return violations_; }
    void ClearViolations() { violations_.clear(); }

private:
    void StateReport(std::span<const std::uint8_t, ReportSize> p);
    void JobReport(std::span<const std::uint8_t, ReportSize> p);
    void DataReport(std::span<const std::uint8_t, ReportSize> p);
    void LcdCommand(std::span<const std::uint8_t, ReportSize> p);
    void EndJob();
    void Violation(std::string text);
    TReport Status(std::uint8_t jobAck) const;

    TLed led_;
    TLcd lcd_;
    bool hostLeft_ = false;
    std::array<std::uint8_t, FlashBlockSize> flash_{};
    std::array<std::uint8_t, MemorySize> memory_{};
    TInputs inputs_;
    std::function<TReport(std::uint32_t)> plotSource_;

    TJobState jobState_ = TJobState::Idle;
    std::optional<TJobCode> openJob_;
    std::uint8_t openMode_ = 0;  // JobReport byte 2 of the open job
    int dataExpected_ = 0;
    int dataReceived_ = 0;           // DataReports of the open job so far
    bool expectJob_ = false;         // a report with byte 5 = 0 is a JobReport, not the job's end
    std::optional<TReport> answer_;  // due in the next slot
    int ackDelay_ = 0;
    int ackWait_ = 0;  // slots the pending acknowledgement still waits
    bool withholdAcks_ = false;
    std::uint32_t plotReports_ = 0;
    std::vector<std::string> violations_;
};

}  // namespace lumidra::boardmodel
