#include "app/cli/StatusText.h"

#include <algorithm>
#include <charconv>

namespace lumidra::cli {

using protocol::ChannelPercent;
using protocol::TStatusView;

namespace {

std::string Inputs(const TStatusView& status, const char* on, const char* off, const char* between) {
    std::string text;
    for (int i = 0; i < 4; ++i) text += std::string(i == 0 ? "" : between) + (status.Inputs[i] ? on : off);
    return text;
}

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::string StatusLine(const TStatusView& status) {
    std::string line = "ch1 " + std::to_string(ChannelPercent(status.Channel1)) + "% ch2 " +
                       std::to_string(ChannelPercent(status.Channel2)) + "% in " + Inputs(status, "1", "0", "") +
                       " key " + std::to_string(status.KeyStatus);
    if (status.KeyId) line += " " + *status.KeyId;
    return line;
}

std::string StatusJson(const TStatusView& status) {
    return "{\"ch1\":" + std::to_string(status.Channel1) +
           ",\"ch1_pct\":" + std::to_string(ChannelPercent(status.Channel1)) +
           ",\"ch2\":" + std::to_string(status.Channel2) +
           ",\"ch2_pct\":" + std::to_string(ChannelPercent(status.Channel2)) + ",\"in\":[" +
           Inputs(status, "1", "0", ",") + "],\"key_status\":" + std::to_string(status.KeyStatus) +
           ",\"key\":" + (status.KeyId ? "\"" + *status.KeyId + "\"" : std::string("null")) + "}";
}

std::string ProgressLine(const std::string& job, std::int64_t done, std::int64_t total, const std::string& unit) {
    if (total <= 0) return job + " " + std::to_string(done) + " " + unit;
    constexpr std::int64_t Width = 20;
    // A job's last step may count past its end.
    done = std::clamp<std::int64_t>(done, 0, total);
    const std::int64_t filled = done * Width / total;
    return job + " [" + std::string(std::size_t(filled), '#') + std::string(std::size_t(Width - filled), ' ') + "] " +
           std::to_string(done) + " of " + std::to_string(total) + " " + unit;
}

std::optional<TUntil> ParseUntil(const std::string& text) {
    if (text == "key") return TUntil{};
    const std::string_view view(text);
    if (view.size() >= 6 && view.starts_with("in") && view[3] == '=') {
        const std::optional<int> input = Number(view.substr(2, 1));
        const std::string_view state = view.substr(4);
        if (!input || *input < 1 || *input > 4 || (state != "on" && state != "off")) return std::nullopt;
        return TUntil{TUntil::TWhat::Input, *input - 1, state == "on" ? 1 : 0};
    }
    if (view.size() >= 5 && view.starts_with("ch") && (view[3] == '>' || view[3] == '<')) {
        const std::optional<int> channel = Number(view.substr(2, 1));
        const std::optional<int> percent = Number(view.substr(4));
        if (!channel || *channel < 1 || *channel > 2 || !percent || *percent < 0) return std::nullopt;
        return TUntil{view[3] == '>' ? TUntil::TWhat::ChannelAbove : TUntil::TWhat::ChannelBelow, *channel - 1,
                      *percent};
    }
    return std::nullopt;
}

bool UntilHolds(const TUntil& until, const TStatusView& status) {
    const int percent = ChannelPercent(until.Index == 0 ? status.Channel1 : status.Channel2);
    switch (until.What) {
        case TUntil::TWhat::Key: return status.KeyId.has_value();
        case TUntil::TWhat::Input: return status.Inputs[until.Index] == (until.Value == 1);
        case TUntil::TWhat::ChannelAbove: return percent > until.Value;
        case TUntil::TWhat::ChannelBelow: return percent < until.Value;
    }
    return false;
}

}  // namespace lumidra::cli
