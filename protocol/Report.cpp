#include "protocol/Report.h"

#include "hid/HidDevice.h"
#include "protocol/Trace.h"
#include "desktop/Seams.h"

#include <chrono>

namespace lumidra::protocol {

void SendReport(const OutputReport& buffer) {
    OutputReport wire = buffer;
    if (AttachedDevice == nullptr) return;
    wire[0] = 0;
    if (ReportTrace != nullptr) ReportTrace->Out(wire);
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

void TellHostLeaves() {
    if (AttachedDevice == nullptr) return;
    StateReport[4] = CommandHostLeaves;
    SendReport(StateReport);
    desktop::Seams().Pause(std::chrono::milliseconds(50));
    ReleaseAttachedDevice();
}

}  // namespace lumidra::protocol
