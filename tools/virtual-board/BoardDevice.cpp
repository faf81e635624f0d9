#include "tools/virtual-board/BoardDevice.h"

#include <dirent.h>
#include <fstream>
#include <sys/stat.h>

namespace lumidra::vboard {

std::string UeventValue(const std::string& path, const std::string& key) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line))
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=')
            return line.substr(key.size() + 1);
    return {};
}

std::string FindHidrawNode(const std::string& physPrefix, const std::string& serial) {
    DIR* dir = ::opendir("/sys/class/hidraw");
    if (!dir) return {};
    std::string node;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("hidraw", 0) != 0) continue;
        const std::string uevent = "/sys/class/hidraw/" + name + "/device/uevent";
        if (UeventValue(uevent, "HID_PHYS").rfind(physPrefix, 0) != 0 || UeventValue(uevent, "HID_UNIQ") != serial)
            continue;
        struct stat st {};
        if (::stat(("/dev/" + name).c_str(), &st) == 0 && S_ISCHR(st.st_mode)) node = "/dev/" + name;
        break;
    }
    ::closedir(dir);
    return node;
}

}  // namespace lumidra::vboard
