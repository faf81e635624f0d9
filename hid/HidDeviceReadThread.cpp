#include "hid/HidDeviceReadThread.h"

#include "hid/HidDevice.h"

#include <algorithm>

namespace lumidra::hid {

namespace {

// Its only purpose is to end the reader's alertable wait.
void ReadCompleted(std::uint32_t, std::uint32_t, THidOverlapped*) {}

// How many slices a reader waits, at most, for a read that a close aborted.
constexpr int AbortedReadWaits = 10;

}  // namespace

THidDeviceReadThread::THidDeviceReadThread(THidDevice* ReadDevice)
    : TCustomThread(ReadDevice->Gui()), Device(ReadDevice) {
    THidCaps caps;
    Device->QueryCaps(caps);
    InputBuffer.assign(caps.InputReportByteLength, 0);
    // The read handle is open before the check-out returns: the system drops
    // what a device sends while no reader has it open, and the first answer
    // (a job's acknowledgement to a request sent right after the attach) must
    // not depend on how soon the new thread gets to run.
    Device->OpenReader();
    Start();
}

THidDeviceReadThread::~THidDeviceReadThread() {
    // The body uses this object's members: it must end before they go.
    Terminate();
    WaitFor();
}

// The reader's whole life is one loop whose steps (start a read, wait
// alertably, complete or cancel it, hand the report over, back off after an
// error) share its locals; split up, each part would need them all.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void THidDeviceReadThread::Execute() {
    NameThread();
    THidPlatform& platform = Device->Platform();
    std::uint32_t waitResult = HidWaitIoCompletion;
    bool readOutstanding = false;

    // Leaves no read pending into InputBuffer, which goes with this object.
    auto cancelOutstanding = [&] {
        if (waitResult == HidWaitIoCompletion) return;
        const bool cancelled = Device->CancelPending(THidIoKind::Read);
        if (readOutstanding && !cancelled) {
            // The read handle was closed under the pending read (an unplug):
            // the close ended the read, but its completion is still due on
            // this thread. Collect it before the buffer is released.
            for (int i = 0; i < AbortedReadWaits; ++i) {
                if (platform.SleepEx(static_cast<std::uint32_t>(Device->SleepTime())) == HidWaitIoCompletion) break;
            }
        }
    };

    try {
        while (!Terminated()) {
            waitResult = HidWaitIoCompletion;
            THidCaps caps;
            Device->QueryCaps(caps);
            // The buffer was sized when the reader was made; capabilities that
            // only became readable later must not make a read overrun it.
            const auto length =
                static_cast<std::uint32_t>(std::min<std::size_t>(caps.InputReportByteLength, InputBuffer.size()));
            std::fill_n(InputBuffer.begin(), length, std::uint8_t{0});

            if (!Device->StartRead(InputBuffer.data(), length, &ReadCompleted)) {
                LastError = platform.GetLastError();
                // A read refused without a platform call (the device has gone)
                // leaves no error of its own; an error event never says "success".
                if (LastError == ERROR_SUCCESS_CODE) LastError = ERROR_DEVICE_NOT_CONNECTED_CODE;
                Synchronize([this] { DeliverError(); });
                // Released during the delivery: the device object may be gone.
                if (Terminated()) break;
                waitResult = platform.SleepEx(static_cast<std::uint32_t>(Device->SleepTime()));
                continue;
            }
            readOutstanding = true;
            do {
                waitResult = platform.SleepEx(static_cast<std::uint32_t>(Device->SleepTime()));
            } while (waitResult != HidWaitIoCompletion && !Terminated());
            if (waitResult == HidWaitIoCompletion) readOutstanding = false;
            if (Terminated()) break;

            BytesRead = Device->ReadCount();
            if (BytesRead > 0) Synchronize([this] { DeliverReport(); });
        }
    } catch (...) {
        cancelOutstanding();
        throw;
    }
    cancelOutstanding();
}

void THidDeviceReadThread::DeliverReport() {
    const THidDataEvent handler = Device->DataHandler();
    if (!handler || InputBuffer.empty()) return;
    const auto bytes = std::min<std::size_t>(BytesRead, InputBuffer.size());
    handler(Device, InputBuffer[0], InputBuffer.data() + 1, static_cast<std::uint16_t>(bytes - 1));
}

void THidDeviceReadThread::DeliverError() {
    const THidDataErrorEvent handler = Device->DataErrorHandler();
    if (handler) handler(Device, LastError);
}

}  // namespace lumidra::hid
