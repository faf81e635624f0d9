// What the input handler does with one input report, decided without widgets:
// the route (status display, a job's step, or nothing) and the status texts.
#pragma once

#include "protocol/JobFlags.h"
#include "desktop/UserText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumidra::protocol {

// The 64 bytes of an input report behind its report ID.
inline constexpr std::size_t InputReportSize = 64;
using InputReport = std::array<std::uint8_t, InputReportSize>;

// The `size` bytes the device delivered, as a whole InputReport: bytes a
// shorter report does not carry read as 0, so no decoder or job step ever
// reads past what arrived. Bytes beyond 64 are not used.
InputReport CopyInputReport(const std::uint8_t* data, std::size_t size);

// Where one input report goes. Job steps are listed in the order they are
// tested; the first whose condition holds takes the report.
enum class TInputRoute {
    Status,  // no job in hand: show the board's status
    Drop,    // a job waits for its acknowledgement, or an acknowledgement
             // came that nobody asked for: nothing happens
    ImageStep,
    LcdCommandStep,
    SplashStep,
    LcdTextStep,
    FlashReadStep,
    FlashEraseStep,
    FlashWriteStep,
    PlotStep,
    DumpStep,
};

// The job flags at one moment, as values: the decisions below read these,
// never the run-wide state.
struct TJobFlagsView {
#define LUMIDRA_VIEW_FLAG(name, job, holdsStatus) bool name = false;
    LUMIDRA_JOB_FLAGS(LUMIDRA_VIEW_FLAG)
#undef LUMIDRA_VIEW_FLAG
    std::uint8_t JobMode = 0;  // JobReport byte 2: 2 marks the splash screen

    // How many flags are up.
    int Raised() const;
    // How many of the flags that keep status reports unshown are up.
    int HoldingStatus() const;
};

// The job flags as they stand now.
TJobFlagsView CurrentJobFlags();

// The route of a report whose byte 6 (the job acknowledgement) is `jobAck`.
TInputRoute DecideInputRoute(std::uint8_t jobAck, const TJobFlagsView& flags);

// Byte indexes of a status report.
inline constexpr int InputJobAck = 6;
inline constexpr int InputKeyStatus = 5;

// The status display of one status report (64 bytes).
struct TStatusView {
    int Channel1 = 0;  // 0..65535; the bars saturate at their maximum
    int Channel2 = 0;
    bool Inputs[4] = {};
    int KeyStatus = 0;
    // Set when the key field changes: " no key", or the key's display text.
    std::optional<std::string> KeyText;
    // The 16-character identifier, when a key is held (status 1).
    std::optional<std::string> KeyId;
    // Set when the status text changes.
    std::optional<std::string> KeyStatusText;
};
TStatusView DecodeStatus(const std::uint8_t* report);

// Whole percent of full scale 1023, truncated: 1022 -> 99, 2046 -> 200.
int ChannelPercent(int value);

// The label of channel `channel` (1 or 2) reading `value`, UTF-8: `format`
// (ChannelTextFormat or its translation) with %1 the channel and %2 the
// whole percent, "Канал 1 : 100%" for 1023.
std::string ChannelText(std::string_view format, int channel, int value);
// The same with the percentage's digits given (no '%'): the texts a label
// must have room for.
std::string ChannelTextWithPercent(std::string_view format, int channel, const std::string& percent);

// The user's texts of the status display; the key status texts keep their
// leading blanks, which place them in the label.
inline constexpr const char* ChannelTextFormat = LUMIDRA_TEXT("protocol", "Канал %1 : %2%");
inline constexpr const char* KeyInactiveText = LUMIDRA_TEXT("protocol", "    Ключ не активен");
inline constexpr const char* KeyHeldText = LUMIDRA_TEXT("protocol", "Ключ удерживается");
inline constexpr const char* KeyReadText = LUMIDRA_TEXT("protocol", "        Ключ прочитан");
inline constexpr const char* KeyReadErrorText = LUMIDRA_TEXT("protocol", "        Ошибка чтения");

// The key text when no key is held.
inline constexpr const char* NoKeyText = " no key";

// Texts of the input labels.
inline constexpr const char* InputOnText = " ON  ";
inline constexpr const char* InputOffText = " Off ";

}  // namespace lumidra::protocol
