#include "protocol/ProtocolState.h"

namespace lumidra::protocol {

OutputReport StateReport{};
OutputReport JobReport{};
OutputReport DataReport{};

hid::THidCheckout AttachedDevice;

#define LUMIDRA_DEFINE_FLAG(name, job, holdsStatus) bool name = false;
LUMIDRA_JOB_FLAGS(LUMIDRA_DEFINE_FLAG)
#undef LUMIDRA_DEFINE_FLAG
bool KeySoundArmed = false;
bool JobAcknowledged = false;

std::uint16_t DumpOffset = 0;
std::uint32_t BoardsHandedBack = 0;

QString StartFolder;
bool KeyBaseSaved = true;

void ClearJobFlags() {
#define LUMIDRA_CLEAR_FLAG(name, job, holdsStatus) name = false;
    LUMIDRA_JOB_FLAGS(LUMIDRA_CLEAR_FLAG)
#undef LUMIDRA_CLEAR_FLAG
    JobAcknowledged = false;
}

void ReleaseAttachedDevice() {
    if (!AttachedDevice) return;
    ++BoardsHandedBack;
    AttachedDevice.Release();
}

void ResetProtocolState() {
    StateReport.fill(0);
    JobReport.fill(0);
    DataReport.fill(0);
    AttachedDevice.Release();
    BoardsHandedBack = 0;
    ClearJobFlags();
    KeySoundArmed = false;
    DumpOffset = 0;
    StartFolder.clear();
    KeyBaseSaved = true;
}

}  // namespace lumidra::protocol
