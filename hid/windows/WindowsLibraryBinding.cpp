#include "hid/windows/WindowsLibraryBinding.h"

#include "hid/windows/WindowsApi.h"

namespace lumidra::hid {

TWindowsLibrary DefaultSetupLibrary() {
    return {"SetupApi.dll",
            {
                {"SetupDiGetClassDevsA"},
                {"SetupDiGetClassDevsW"},
                {"SetupDiGetClassDevsExA"},
                {"SetupDiGetClassDevsExW"},
                {"SetupDiCreateDeviceInfoList"},
                {"SetupDiEnumDeviceInfo"},
                {"SetupDiEnumDeviceInterfaces"},
                {"SetupDiGetDeviceInterfaceDetailA"},
                {"SetupDiGetDeviceInterfaceDetailW"},
                {"SetupDiOpenDeviceInterfaceA"},
                {"SetupDiOpenDeviceInterfaceW"},
                {"SetupDiGetDeviceInstanceIdA"},
                {"SetupDiGetDeviceInstanceIdW"},
                {"SetupDiGetDeviceRegistryPropertyA"},
                {"SetupDiGetDeviceRegistryPropertyW"},
                {"SetupDiDestroyDeviceInfoList"},
            }};
}

TWindowsLibrary DefaultHidLibrary() {
    return {"HID.dll",
            {
                {"HidD_GetHidGuid"},
                {"HidD_GetAttributes"},
                {"HidD_GetPreparsedData"},
                {"HidD_FreePreparsedData"},
                {"HidD_GetConfiguration"},
                {"HidD_SetConfiguration"},
                {"HidD_FlushQueue"},
                {"HidD_GetFeature"},
                {"HidD_SetFeature"},
                {"HidD_GetNumInputBuffers"},
                {"HidD_SetNumInputBuffers"},
                {"HidD_GetPhysicalDescriptor"},
                {"HidD_GetManufacturerString"},
                {"HidD_GetProductString"},
                {"HidD_GetSerialNumberString"},
                {"HidD_GetIndexedString"},
                {"HidD_GetInputReport", 0x0501},
                {"HidD_SetOutputReport", 0x0501},
                {"HidP_GetCaps"},
                {"HidP_GetLinkCollectionNodes"},
                {"HidP_GetSpecificButtonCaps"},
                {"HidP_GetSpecificValueCaps"},
                {"HidP_GetData"},
                {"HidP_SetData"},
                {"HidP_MaxDataListLength"},
                {"HidP_GetUsages"},
                {"HidP_GetUsagesEx"},
                {"HidP_SetUsages"},
                {"HidP_UnsetUsages"},
                {"HidP_MaxUsageListLength"},
                {"HidP_GetUsageValue"},
                {"HidP_GetScaledUsageValue"},
                {"HidP_GetUsageValueArray"},
                {"HidP_SetUsageValue"},
                {"HidP_SetScaledUsageValue"},
                {"HidP_SetUsageValueArray"},
                {"HidP_UsageListDifference"},
                {"HidP_TranslateUsagesToI8042ScanCodes"},
                {"HidP_GetExtendedAttributes", 0x0500},
                {"HidP_InitializeReportForID", 0x0500},
            }};
}

std::uint16_t SystemNtVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0;
    const auto major = info.dwMajorVersion > 0xFF ? 0xFFu : info.dwMajorVersion;
    const auto minor = info.dwMinorVersion > 0xFF ? 0xFFu : info.dwMinorVersion;
    return static_cast<std::uint16_t>(major << 8 | minor);
}

bool TWindowsBoundLibrary::Bind(const TWindowsLibrary& library, std::uint16_t ntVersion) {
    Unbind();
    // A missing file must not stop the program with a system message box: the
    // layer just stays inert.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(library.FileName.c_str());
    SetErrorMode(oldMode);
    if (!module) return false;

    std::vector<std::pair<std::string, void*>> entries;
    entries.reserve(library.EntryPoints.size());
    for (const auto& entry : library.EntryPoints) {
        if (entry.MinimumNtVersion != 0 && ntVersion < entry.MinimumNtVersion) continue;
        void* address = reinterpret_cast<void*>(GetProcAddress(module, entry.Name.c_str()));
        if (!address) {
            FreeLibrary(module);
            SetLastError(ERROR_PROC_NOT_FOUND);
            return false;
        }
        entries.emplace_back(entry.Name, address);
    }
    module_ = module;
    entries_ = std::move(entries);
    return true;
}

void TWindowsBoundLibrary::Unbind() {
    entries_.clear();
    if (module_) FreeLibrary(static_cast<HMODULE>(module_));
    module_ = nullptr;
}

void* TWindowsBoundLibrary::EntryPoint(std::string_view name) const {
    for (const auto& [entryName, address] : entries_) {
        if (entryName == name) return address;
    }
    return nullptr;
}

}  // namespace lumidra::hid
