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
    const struct {
        std::string shownKey;
        std::vector<std::string> keys;  // one report each
        std::vector<std::string> frames;
    } table[] = {
        {"", {"", ""}, {NoKeyText}},
        {"", {"A", ""}, {"A", NoKeyText}},       // a key of one report: a frame of its own
        {"", {"A", "A"}, {"A"}},                 // still held: one frame
        {"", {"A", "B", ""}, {"A", NoKeyText}},  // the first new key only
        {"A", {"A", ""}, {NoKeyText}},           // not new: shown already
    };
    for (const auto& row : table) {
        TStatusFrames frames;
        frames.Reset(WithStatus({}, Report(0, row.shownKey)));
        int channel = 0;
        for (const std::string& key : row.keys) frames.Add(Report(++channel, key));
        std::vector<std::string> shown;
        while (frames.Due() && shown.size() < 5) shown.push_back(frames.Next().KeyText);
        EXPECT_EQ(shown, row.frames) << row.keys.size() << " reports after " << row.shownKey;
        EXPECT_EQ(frames.Shown().Channel1, channel);
    }
}

}  // namespace
}  // namespace lumidra::protocol
