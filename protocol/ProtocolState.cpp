#include "protocol/ProtocolState.h"

#include "hid/HidDevice.h"

namespace lumidra::protocol {

OutputReport StateReport{};
OutputReport JobReport{};
OutputReport DataReport{};

hid::THidDevice* AttachedDevice = nullptr;

bool JobActive = false;
bool ImageSendPending = false;
bool LcdCommandPending = false;
bool LcdTextPending = false;
bool FlashReadPending = false;
bool FlashErasePending = false;
bool FlashWritePending = false;
bool PlotPending = false;
bool PlotRunning = false;
bool KeySoundArmed = false;
bool DumpRequested = false;
bool JobAcknowledged = false;

std::uint16_t DumpOffset = 0;
std::uint32_t BoardsHandedBack = 0;

QString StartFolder;
bool KeyBaseSaved = true;

void ClearJobFlags() {
    JobActive = false;
    FlashReadPending = false;
    ImageSendPending = false;
    LcdCommandPending = false;
    LcdTextPending = false;
    FlashErasePending = false;
    FlashWritePending = false;
    PlotPending = false;
    PlotRunning = false;
    DumpRequested = false;
    JobAcknowledged = false;
}

void ReleaseAttachedDevice() {
    hid::THidDevice* device = AttachedDevice;
    if (device == nullptr) return;
    AttachedDevice = nullptr;
    ++BoardsHandedBack;
    delete device;
}

void ResetProtocolState() {
    StateReport.fill(0);
    JobReport.fill(0);
    DataReport.fill(0);
    AttachedDevice = nullptr;
    BoardsHandedBack = 0;
    ClearJobFlags();
    KeySoundArmed = false;
    DumpOffset = 0;
    StartFolder.clear();
    KeyBaseSaved = true;
}

}  // namespace lumidra::protocol
