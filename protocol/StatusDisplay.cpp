#include "protocol/StatusDisplay.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace lumidra::protocol {

TStatusShown WithStatus(TStatusShown shown, const TStatusView& status) {
    shown.Channel1 = status.Channel1;
    shown.Channel2 = status.Channel2;
    std::copy(std::begin(status.Inputs), std::end(status.Inputs), shown.Inputs.begin());
    if (status.KeyText) shown.KeyText = *status.KeyText;
    if (status.KeyStatusText) shown.KeyStatusText = *status.KeyStatusText;
    return shown;
}

void TStatusFrames::Reset(const TStatusShown& shown) {
    shown_ = shown;
    latest_ = shown;
    key_.reset();
}

void TStatusFrames::Add(const TStatusView& status) {
    latest_ = WithStatus(std::move(latest_), status);
    // Only the first new key of a frame is kept: a frame more for each would
    // let a board that changes keys every report run the display behind.
    if (status.KeyId && !key_ && latest_.KeyText != shown_.KeyText) key_ = latest_;
}

const TStatusShown& TStatusFrames::Next() {
    if (key_ && key_->KeyText != latest_.KeyText) {
        shown_ = *key_;
    } else {
        shown_ = latest_;
    }
    key_.reset();
    return shown_;
}

}  // namespace lumidra::protocol
