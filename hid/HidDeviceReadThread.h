// The reader of a checked-out device object: reads input reports one after
// another and hands each one (and each read that cannot be started) to the
// GUI thread, waiting there until the handler has returned.
#pragma once

#include "hid/CustomThread.h"

#include <cstdint>
#include <vector>

namespace lumidra::hid {

class THidDevice;

class THidDeviceReadThread final : public TCustomThread {
public:
    // On the GUI thread. Sizes the buffer from the device's capabilities and
    // starts running at once.
    explicit THidDeviceReadThread(THidDevice* ReadDevice);
    ~THidDeviceReadThread() override;

    // Written by the reader, read by the deliveries it waits for.
    std::uint32_t LastError = 0;
    THidDevice* const Device;
    std::uint32_t BytesRead = 0;
    std::vector<std::uint8_t> InputBuffer;

protected:
    void Execute() override;
    const char* ClassName() const override { return "THidDeviceReadThread"; }

private:
    void DeliverReport();  // on the GUI thread
    void DeliverError();   // on the GUI thread
};

}  // namespace lumidra::hid
