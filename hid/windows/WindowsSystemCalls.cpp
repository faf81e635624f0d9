#include "hid/HidDevice.h"
#include "hid/SystemCalls.h"

#include "hid/windows/WindowsApi.h"

namespace lumidra::hid {

std::string WideToAnsi(const std::u16string& Text) {
    if (Text.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(Text.data());
    const int length = static_cast<int>(Text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string result(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, result.data(), bytes, nullptr, nullptr);
    return result;
}

void NameCurrentThread(std::string) {}

TUsbPlace UsbPlaceOf(const std::string&, const std::string&) {
    return {};
}

}  // namespace lumidra::hid
