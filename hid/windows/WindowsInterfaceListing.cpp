#include "hid/windows/WindowsInterfaceListing.h"

#include "hid/windows/WindowsRegistryProperties.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace lumidra::hid {

// The records' size fields must hold the platform's own sizes, or the setup
// library refuses them: 28 bytes on 32-bit Windows (32 on 64-bit); the
// character-string detail header is 5 bytes on 32-bit (packed) and 8 on 64-bit.
#if defined(_WIN64)
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32 && sizeof(SP_DEVINFO_DATA) == 32);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8);
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28 && sizeof(SP_DEVINFO_DATA) == 28);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5);
#endif

bool ListDeviceInterfaces(const TSetupApi& api, const GUID& interfaceClass, std::vector<THidInterfaceRecord>& out) {
    out.clear();
    if (!api.Complete()) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    GUID cls = interfaceClass;
    HDEVINFO set = api.GetClassDevs(&cls, nullptr, nullptr, ListingFlags);
    if (set == INVALID_HANDLE_VALUE) return false;

    constexpr DWORD headerSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    constexpr DWORD pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof(interfaceData);
        if (!api.EnumDeviceInterfaces(set, nullptr, &cls, index, &interfaceData)) break;

        SP_DEVINFO_DATA deviceInfo{};
        deviceInfo.cbSize = sizeof(deviceInfo);
        DWORD required = 0;
        SetLastError(ERROR_SUCCESS);
        api.GetDeviceInterfaceDetail(set, &interfaceData, nullptr, 0, &required, &deviceInfo);
        // Only the answer "your buffer is too small, it takes `required`" goes on.
        // A size too small even for the header cannot be a valid record.
        if (required == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) continue;
        if (required <= pathOffset) continue;

        std::vector<std::uint8_t> buffer(required, 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = headerSize;
        if (!api.GetDeviceInterfaceDetail(set, &interfaceData, detail, required, nullptr, &deviceInfo)) {
            continue;
        }

        THidInterfaceRecord record;
        record.InstanceHandle = deviceInfo.DevInst;
        const char* path = detail->DevicePath;
        record.InterfacePath.assign(path, strnlen(path, required - pathOffset));
        record.Properties =
            ReadRegistryProperties([&](std::uint32_t code, std::uint8_t* propertyBuffer, std::uint32_t size) {
                return api.GetDeviceRegistryProperty(set, &deviceInfo, code, nullptr, propertyBuffer, size, nullptr) !=
                       FALSE;
            });
        out.push_back(std::move(record));
    }
    api.DestroyDeviceInfoList(set);
    return true;
}

}  // namespace lumidra::hid
