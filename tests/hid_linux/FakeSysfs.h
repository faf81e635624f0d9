// A sysfs tree in a temporary folder, laid out like the kernel's for hidraw
// nodes: a USB HID device (USB device / interface / HID device / hidraw) or
// a HID device without USB parent (uhid, Bluetooth). A node is reached
// through <root>/dev/char/<major>:<minor>, so tests can give it the device
// number of a character device that exists, such as /dev/null.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <vector>

#include <gtest/gtest.h>

namespace lumidra::testing {

class FakeSysfs {
public:
    FakeSysfs() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumidra-sysfs-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
        root_ = pattern;
        std::filesystem::create_directories(root_ / "class" / "hidraw");
        std::filesystem::create_directories(root_ / "class" / "misc");
        std::filesystem::create_directories(root_ / "dev" / "char");
    }
    ~FakeSysfs() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string Root() const { return root_.string(); }

    struct UsbDevice {
        std::vector<std::uint8_t> Descriptors;
        std::optional<std::string> Manufacturer, Product, Serial;
        std::string BcdDevice = "0100";
    };

    // A HID device below a USB interface; returns the hidraw node's folder.
    std::filesystem::path AddUsbNode(const std::string& hidName, const std::string& uevent,
                                     const std::vector<std::uint8_t>& reportDescriptor, const UsbDevice& usb,
                                     dev_t number, const std::string& hidraw) {
        const auto usbDir = root_ / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / "1-2";
        Write(usbDir / "descriptors", std::string(usb.Descriptors.begin(), usb.Descriptors.end()));
        Write(usbDir / "idVendor", "c04e\n");
        Write(usbDir / "bcdDevice", usb.BcdDevice + "\n");
        if (usb.Manufacturer) Write(usbDir / "manufacturer", *usb.Manufacturer + "\n");
        if (usb.Product) Write(usbDir / "product", *usb.Product + "\n");
        if (usb.Serial) Write(usbDir / "serial", *usb.Serial + "\n");
        const auto interfaceDir = usbDir / "1-2:1.0";
        Write(interfaceDir / "bInterfaceNumber", "00\n");
        return AddHidNode(interfaceDir / hidName, uevent, reportDescriptor, number, hidraw);
    }

    // A HID device of the uhid driver, whatever bus it claims.
    std::filesystem::path AddVirtualNode(const std::string& hidName, const std::string& uevent,
                                         const std::vector<std::uint8_t>& reportDescriptor, dev_t number,
                                         const std::string& hidraw) {
        const auto parent = root_ / "devices" / "virtual" / "misc" / "uhid";
        std::filesystem::create_directories(parent);
        return AddHidNode(parent / hidName, uevent, reportDescriptor, number, hidraw);
    }

    // A character device of another class at `number` (e.g. a misc device).
    void AddOtherNode(dev_t number) {
        const auto node = root_ / "devices" / "virtual" / "misc" / "other";
        std::filesystem::create_directories(node);
        std::filesystem::create_directory_symlink(root_ / "class" / "misc", node / "subsystem");
        std::filesystem::create_directory_symlink(node, CharLink(number));
    }

    static void Write(const std::filesystem::path& file, const std::string& content) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

private:
    std::filesystem::path CharLink(dev_t number) const {
        return root_ / "dev" / "char" / (std::to_string(major(number)) + ":" + std::to_string(minor(number)));
    }

    std::filesystem::path AddHidNode(const std::filesystem::path& hidDir, const std::string& uevent,
                                     const std::vector<std::uint8_t>& reportDescriptor, dev_t number,
                                     const std::string& hidraw) {
        Write(hidDir / "uevent", uevent);
        Write(hidDir / "report_descriptor", std::string(reportDescriptor.begin(), reportDescriptor.end()));
        const auto node = hidDir / "hidraw" / hidraw;
        std::filesystem::create_directories(node);
        Write(node / "uevent", "MAJOR=" + std::to_string(major(number)) + "\nMINOR=" + std::to_string(minor(number)) +
                                   "\nDEVNAME=" + hidraw + "\n");
        std::filesystem::create_directory_symlink("../..", node / "device");
        std::filesystem::create_directory_symlink(root_ / "class" / "hidraw", node / "subsystem");
        std::filesystem::create_directory_symlink(node, CharLink(number));
        return node;
    }

    std::filesystem::path root_;
};

}  // namespace lumidra::testing
