// What lumidra-cli prints of the board's status and its keys, a job's
// progress, and the conditions `status --until` waits for. Plain C++.
#pragma once

#include "protocol/InputDecode.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lumidra::cli {

// One status report as a line for people:
// "ch1 12% ch2 40% in 1010 key 1 0123456789ABCDEF" (inputs 1 to 4 from the
// left; the key id only while a key is held).
std::string StatusLine(const protocol::TStatusView& status);

// The same as one JSON object on one line (never translated):
// {"ch1":123,"ch1_pct":12,"ch2":409,"ch2_pct":40,"in":[1,0,1,0],"key_status":1,"key":"0123456789ABCDEF"}
// ("key" is null while no key is held).
std::string StatusJson(const protocol::TStatusView& status);

// A job's progress on a terminal: "dump [########            ] 2048 of 4096
// bytes"; with no total known (0) only the count: "plot 17 reports".
std::string ProgressLine(const std::string& job, std::int64_t done, std::int64_t total, const std::string& unit);

// `status --until COND`: "key" (a key is held), "inN=on" / "inN=off" (N 1 to
// 4), "chN>P" / "chN<P" (N 1 or 2, P whole percent).
struct TUntil {
    enum class TWhat { Key, Input, ChannelAbove, ChannelBelow } What = TWhat::Key;
    int Index = 0;  // input 0..3 or channel 0..1
    int Value = 0;  // on (1) / off (0), or the percentage
};
std::optional<TUntil> ParseUntil(const std::string& text);
bool UntilHolds(const TUntil& until, const protocol::TStatusView& status);

}  // namespace lumidra::cli
