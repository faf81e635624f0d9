// The listing of the interfaces of a device class present now, through the
// setup library's calls. Include after the layer's headers (WindowsApi.h).
#pragma once

#include "hid/HidPlatform.h"
#include "hid/windows/WindowsApi.h"

#include <vector>

namespace lumidra::hid {

// The setup library's calls the listing makes, as bound at run time.
struct TSetupApi {
    decltype(&::SetupDiGetClassDevsA) GetClassDevs = nullptr;
    decltype(&::SetupDiEnumDeviceInterfaces) EnumDeviceInterfaces = nullptr;
    decltype(&::SetupDiGetDeviceInterfaceDetailA) GetDeviceInterfaceDetail = nullptr;
    decltype(&::SetupDiGetDeviceRegistryPropertyA) GetDeviceRegistryProperty = nullptr;
    decltype(&::SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList = nullptr;

    bool Complete() const {
        return GetClassDevs && EnumDeviceInterfaces && GetDeviceInterfaceDetail && GetDeviceRegistryProperty &&
               DestroyDeviceInfoList;
    }
};

// Present and device-interface: what a listing asks the setup library for.
inline constexpr DWORD ListingFlags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
static_assert(ListingFlags == 0x12);

// Replaces `out` with the interfaces of `interfaceClass` present now, in the
// setup library's order, each with its instance handle, path and registry
// properties. An interface whose details cannot be read is left out. False
// (and `out` empty) when the set of interfaces cannot be had at all.
bool ListDeviceInterfaces(const TSetupApi& api, const GUID& interfaceClass, std::vector<THidInterfaceRecord>& out);

}  // namespace lumidra::hid
