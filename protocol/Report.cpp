#include "protocol/Report.h"

#include "hid/HidDevice.h"

namespace lumidra::protocol {

void SendReport(const OutputReport& buffer) {
    OutputReport wire = buffer;
    if (AttachedDevice == nullptr) return;
    wire[0] = 0;
    std::uint32_t written = 0;
    AttachedDevice->WriteReport(wire.data(), static_cast<std::uint32_t>(wire.size()), written);
}

void RequestJob() {
    StateReport[JobRequestByte] = 1;
    JobAcknowledged = false;
    SendReport(StateReport);
}

void EndJobRequest() {
    StateReport[JobRequestByte] = 0;
    SendReport(StateReport);
}

}  // namespace lumidra::protocol
