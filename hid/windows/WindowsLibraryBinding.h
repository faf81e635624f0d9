// Binding a system library at run time: load the file, resolve every entry
// point of a list, and undo everything when anything is missing, so that a
// system without the library (or with an older one) leaves the device layer
// inert instead of failing to start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumidra::hid {

// One entry point; those that older systems lack are required only from the
// NT version given (0x0500 = 5.0, 0x0501 = 5.1; 0 = always).
struct TWindowsEntryPoint {
    std::string Name;
    std::uint16_t MinimumNtVersion = 0;
};

struct TWindowsLibrary {
    std::string FileName;
    std::vector<TWindowsEntryPoint> EntryPoints;
};

// The setup library with the listing calls, narrow and wide (this build uses
// the narrow ones, which are also what the neutral names mean here).
TWindowsLibrary DefaultSetupLibrary();
// The HID library's HidD_ and HidP_ calls.
TWindowsLibrary DefaultHidLibrary();

// What WindowsHidPlatform binds. The defaults are the system's; tests name
// other files and entry points to see a missing one handled.
struct TWindowsBindingConfig {
    TWindowsLibrary Setup = DefaultSetupLibrary();
    TWindowsLibrary Hid = DefaultHidLibrary();
    // CancelIo is looked up in the kernel library when it is needed.
    std::string KernelLibrary = "kernel32.dll";
    std::string CancelIoEntryPoint = "CancelIo";
    // 0xMMmm of the NT family; unset: ask the system (0 off the NT family).
    std::optional<std::uint16_t> NtVersion;
};

// The running system's NT version as 0xMMmm, 0 when it is not of the NT family.
std::uint16_t SystemNtVersion();

// A library bound with every entry point of its list that `ntVersion` requires.
class TWindowsBoundLibrary {
public:
    TWindowsBoundLibrary() = default;
    TWindowsBoundLibrary(const TWindowsBoundLibrary&) = delete;
    TWindowsBoundLibrary& operator=(const TWindowsBoundLibrary&) = delete;
    ~TWindowsBoundLibrary() { Unbind(); }

    // Loads the file (without the system's missing-file message box) and
    // resolves the list; on any failure frees the file again and keeps nothing.
    bool Bind(const TWindowsLibrary& library, std::uint16_t ntVersion);
    // Frees the file and forgets every entry point.
    void Unbind();
    bool Bound() const { return module_ != nullptr; }
    // The resolved address, or null when not bound or not in the list.
    void* EntryPoint(std::string_view name) const;

    template <class Function>
    Function As(std::string_view name) const {
        return reinterpret_cast<Function>(EntryPoint(name));
    }

private:
    void* module_ = nullptr;
    std::vector<std::pair<std::string, void*>> entries_;
};

}  // namespace lumidra::hid
