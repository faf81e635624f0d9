// A job whose board is handed back before the job has ended. A job belongs to
// the board it was asked of: if the re-scan that follows takes that board
// again, the job ends there as its own last step would end it; otherwise
// nothing of it goes to any board. Either way the operator is told once.
#pragma once

#include "desktop/UserText.h"
#include "protocol/InputDecode.h"
#include "protocol/JobGuard.h"

#include <optional>
#include <string_view>

namespace lumidra::protocol {

// The job in hand, as the flags tell it; none when no flag is up.
std::optional<TJob> JobInHand(const TJobFlagsView& flags);

// What ends a cut job, and what the operator is told.
struct TJobCutEnd {
    bool JobEnd = false;    // JobReport code 0 goes to the board
    bool StateEnd = false;  // then StateReport with byte 5 = 0
    std::string_view Text;  // compared by its characters
    bool operator==(const TJobCutEnd&) const = default;
};

// `acknowledged`: the board's acknowledgement reached the job (its first step
// ran). `sameBoard`: the re-scan after the hand-back took the job's board again.
TJobCutEnd JobCutEnd(TJob job, bool acknowledged, bool sameBoard);

// Sends what `end` asks of the attached board (nothing without one); either
// way StateReport byte 5 is cleared, so no later report asks for the job.
void SendJobCutEnd(const TJobCutEnd& end);

inline constexpr const char* JobCutReconnectedText =
    LUMIDRA_TEXT("protocol", "Операция прервана: связь с платой установлена заново. Повторите операцию.");
inline constexpr const char* JobCutUnpluggedText = LUMIDRA_TEXT("protocol", "Операция прервана: плата отключена.");
// A Flash-ROM read or a dump cut short: its file was not written.
inline constexpr const char* TransferCutText =
    LUMIDRA_TEXT("protocol", "Передача прервана: плата отключена. Файл не записан.");

}  // namespace lumidra::protocol
