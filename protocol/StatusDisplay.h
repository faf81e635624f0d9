// What the status group shows, decided without widgets: the status reports
// applied in order, and which state of them each frame shows.
#pragma once

#include "protocol/InputDecode.h"

#include <array>
#include <optional>
#include <string>

namespace lumidra::protocol {

// Everything the status group shows. The texts are untranslated.
struct TStatusShown {
    int Channel1 = 0;
    int Channel2 = 0;
    std::array<bool, 4> Inputs{};
    std::string KeyText;
    std::string KeyStatusText;

    bool operator==(const TStatusShown&) const = default;
};

// `shown` once `status` is applied: the channels and inputs always, the key
// text and the status text only when the report sets them (a key read leaves
// the key shown, an unknown status leaves both).
TStatusShown WithStatus(TStatusShown shown, const TStatusView& status);

// The status group between two frames. A board can send a thousand reports a
// second and a screen shows sixty frames: every report goes in as it
// arrives, and a frame shows the state they lead to, which is what showing
// each in turn would leave. One exception keeps a short key in sight: a key
// presented since the last frame and gone again before the next is shown
// for a frame of its own first.
class TStatusFrames {
public:
    // The widgets show `shown` now; nothing waits for a frame.
    void Reset(const TStatusShown& shown);
    // One status report.
    void Add(const TStatusView& status);
    // Whether the next frame would show something that is not shown: a key
    // waiting for its frame counts, also when the reports after it came back
    // to what is shown.
    bool Due() const { return key_ || latest_ != shown_; }
    // What the next frame shows; from here it is what is shown.
    const TStatusShown& Next();
    const TStatusShown& Shown() const { return shown_; }

private:
    TStatusShown shown_;
    TStatusShown latest_;
    std::optional<TStatusShown> key_;  // the state in which a new key came
};

}  // namespace lumidra::protocol
