#include "protocol/StatusDisplay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumidra::protocol {
namespace {

// A status report on channel 1 at `channel`, holding the key `key` ("" for none).
TStatusView Report(int channel, const std::string& key) {
    TStatusView v;
    v.Channel1 = channel;
    v.KeyText = key.empty() ? NoKeyText : key;
    if (!key.empty()) v.KeyId = key;
    return v;
}

// The key texts of the frames that follow `reports`, until nothing is due;
// the last frame shows the last report's channel.
TEST(StatusFrames, AFrameShowsTheLatestAfterAKeyNewSinceTheLastFrame) {
    struct TReport {
        int channel;
        std::string key;  // "" for none
    };
    const struct {
        std::string shownKey;  // shown on channel 0
        std::vector<TReport> reports;
        std::vector<std::string> frames;
    } table[] = {
        {"", {{1, ""}, {2, ""}}, {NoKeyText}},
        {"", {{1, "A"}, {2, ""}}, {"A", NoKeyText}},            // a key of one report: a frame of its own
        {"", {{1, "A"}, {2, "A"}}, {"A"}},                      // still held: one frame
        {"", {{1, "A"}, {2, "B"}, {3, ""}}, {"A", NoKeyText}},  // the first new key only
        {"A", {{1, "A"}, {2, ""}}, {NoKeyText}},                // not new: shown already
        // The report after the key brings back all that is shown: the key
        // still has its frame, with its own report's channel, then the last.
        {"", {{1, "A"}, {0, ""}}, {"A", NoKeyText}},
        {"", {{0, "A"}, {0, ""}}, {"A", NoKeyText}},
    };
    for (const auto& row : table) {
        TStatusFrames frames;
        frames.Reset(WithStatus({}, Report(0, row.shownKey)));
        for (const TReport& report : row.reports) frames.Add(Report(report.channel, report.key));
        std::vector<std::string> shown;
        std::vector<int> channels;
        while (frames.Due() && shown.size() < 5) {
            const TStatusShown& next = frames.Next();
            shown.push_back(next.KeyText);
            channels.push_back(next.Channel1);
        }
        EXPECT_EQ(shown, row.frames) << row.reports.size() << " reports after " << row.shownKey;
        EXPECT_EQ(frames.Shown().Channel1, row.reports.back().channel);
        if (shown.size() == 2) {
            EXPECT_EQ(channels.front(), row.reports.front().channel) << "the key's own channel";
        }
    }
}

}  // namespace
}  // namespace lumidra::protocol
