// The HID interfaces of the machine the Windows tests run on. Under Wine
// there are always its virtual mouse and keyboard (vendor 0x845E), which can
// be opened, identified and read, but have no output report, no serial-number
// language list and no indexed strings.
#pragma once

#include "hid/windows/WindowsHidPlatform.h"

#include "hid/windows/WindowsApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace lumidra::testing {

inline bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The vendor or product ID a HID interface path carries ("vid_", "pid_").
inline std::uint16_t PathId(std::string path, const std::string& key) {
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto at = path.find(key);
    return at == std::string::npos
               ? 0
               : static_cast<std::uint16_t>(std::stoul(path.substr(at + key.size(), 4), nullptr, 16));
}

// Binds both libraries of `platform` and lists the HID interfaces present.
inline std::vector<hid::THidInterfaceRecord> PresentInterfaces(hid::WindowsHidPlatform& platform) {
    std::vector<hid::THidInterfaceRecord> records;
    EXPECT_TRUE(platform.LoadSetupLibrary());
    EXPECT_TRUE(platform.LoadHidLibrary());
    EXPECT_TRUE(platform.ListInterfaces(platform.GetHidGuid(), records));
    // Wine's virtual devices are always there once its prefix has booted.
    if (RunningUnderWine()) {
        EXPECT_GE(records.size(), 2u);
    }
    return records;
}

}  // namespace lumidra::testing

// Tests that need a device skip on a machine without any.
#define LUMIDRA_REQUIRE_DEVICES(records) \
    if ((records).empty()) GTEST_SKIP() << "no HID interface present"
