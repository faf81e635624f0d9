#include "tools/virtual-board/GadgetLayout.h"

#include <cstdio>

namespace lumidra::vboard {

namespace {

std::string Word(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

}  // namespace

std::vector<TGadgetEntry> GadgetLayout(const TBoardIdentity& identity, const hid::TUsbHidFunction& function) {
    using K = TGadgetEntry::TKind;
    const std::string folder = GadgetFunction;
    return {
        {K::Directory, "", ""},
        {K::File, "idVendor", Word(identity.Vendor)},
        {K::File, "idProduct", Word(identity.Product)},
        {K::File, "bcdDevice", Word(identity.Version)},
        {K::Directory, "strings/0x409", ""},
        {K::File, "strings/0x409/manufacturer", identity.Maker},
        {K::File, "strings/0x409/product", identity.Name},
        {K::File, "strings/0x409/serialnumber", identity.Serial},
        {K::Directory, folder, ""},
        {K::File, folder + "/protocol", std::to_string(function.Protocol)},
        {K::File, folder + "/subclass", std::to_string(function.Subclass)},
        {K::File, folder + "/report_length", std::to_string(function.ReportLength)},
        {K::File, folder + "/report_desc",
         std::string(function.ReportDescriptor.begin(), function.ReportDescriptor.end())},
        {K::File, "max_speed", "full-speed"},
        {K::Directory, "configs/c.1", ""},
        {K::File, "configs/c.1/MaxPower", std::to_string(function.MaxPowerMilliamps)},
        {K::Link, "configs/c.1/hid.board", folder},
    };
}

std::vector<TGadgetEntry> GadgetTeardown(const std::vector<TGadgetEntry>& layout) {
    std::vector<TGadgetEntry> teardown;
    for (auto entry = layout.rbegin(); entry != layout.rend(); ++entry)
        if (entry->Kind != TGadgetEntry::TKind::File) teardown.push_back(*entry);
    return teardown;
}

std::optional<std::string> HostPhysPrefix(const std::string& udc) {
    const std::string device = "dummy_udc.";
    if (udc.rfind(device, 0) == 0 && udc.size() > device.size())
        return "usb-dummy_hcd." + udc.substr(device.size()) + "-";
    return std::nullopt;
}

}  // namespace lumidra::vboard
