#include "protocol/Board.h"

#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "hid/SystemCalls.h"
#include "protocol/Hex.h"
#include "protocol/ProtocolState.h"
#include "protocol/Trace.h"

namespace lumidra::protocol {

bool IsBoard(hid::THidDevice& device) {
    const hid::THidAttributes& identity = device.Identity();
    if (identity.VendorID != BoardVendorID || identity.ProductID != BoardProductID) return false;
    return device.SerialString() == BoardSerial;
}

QString DeviceIdentityLine(const QString& product, std::uint16_t vendorID, std::uint16_t productID,
                           const QString& serial, const QString& manufacturer) {
    return product + QStringLiteral(", VID=") + QString::fromStdString(WordToHex(vendorID)) + QStringLiteral(", PID=") +
           QString::fromStdString(WordToHex(productID)) + QStringLiteral(", Ver=") + serial + QStringLiteral(", ID=") +
           manufacturer;
}

bool TakeBoard(hid::THidDeviceController& controller, hid::THidDevice& device, std::int32_t index) {
    if (!IsBoard(device) || AttachedDevice != nullptr) return false;
    if (!device.OpenMain() || !device.ReadWriteGranted()) return false;
    hid::THidDevice* claimed = nullptr;
    if (!controller.ClaimByIndex(claimed, index)) return false;
    AttachedDevice = hid::THidCheckout(claimed);
    TraceBoardPlace();
    return true;
}

void TraceBoardPlace() {
    if (ReportTrace != nullptr && AttachedDevice != nullptr && AttachedDevice->PnPInfo() != nullptr)
        ReportTrace->Attached(hid::UsbPlaceOf(AttachedDevice->PnPInfo()->InterfacePath));
}

}  // namespace lumidra::protocol
