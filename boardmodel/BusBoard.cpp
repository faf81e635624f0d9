#include "boardmodel/BusBoard.h"

namespace lumidra::boardmodel {

TBusBoard::TBusBoard(hid::VirtualHidBus& bus, hid::TVirtualBoard description)
    : bus_(bus), description_(std::move(description)) {
    Plug();
}

TBusBoard::~TBusBoard() {
    Unplug();
}

void TBusBoard::Plug() {
    id_ = bus_.Plug(description_);
    bus_.SetWriteObserver(
        id_, [this](const std::vector<std::uint8_t>& report) { model_.Receive(OutputAsReceived(report)); });
}

bool TBusBoard::Step() {
    if (!Plugged()) return false;
    const auto report = model_.NextReport();
    if (!report) return false;
    std::vector<std::uint8_t> framed{0};  // report ID 0, then the payload
    framed.insert(framed.end(), report->begin(), report->end());
    bus_.Feed(id_, std::move(framed));
    return true;
}

void TBusBoard::Unplug() {
    if (!Plugged()) return;
    bus_.SetWriteObserver(id_, nullptr);
    bus_.Unplug(id_);
    id_ = 0;
}

void TBusBoard::Replug() {
    Unplug();
    model_.PowerCycle();
    Plug();
}

std::vector<std::vector<std::uint8_t>> TBusBoard::Written() const {
    return Plugged() ? bus_.Written(id_) : std::vector<std::vector<std::uint8_t>>{};
}

}  // namespace lumidra::boardmodel
