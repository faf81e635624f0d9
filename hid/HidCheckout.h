// A device object checked out of its controller (ClaimByIndex), held by the
// application until it hands the device back. Releasing the handle is the
// hand-back: the object is destroyed, which gives its controller slot a fresh
// checked-in object while the device is present. The controller owns every
// other object; a handle must be empty before its controller goes.
#pragma once

#include "hid/HidDevice.h"

#include <cstddef>
#include <utility>

namespace lumidra::hid {

class THidCheckout {
public:
    THidCheckout() = default;
    explicit THidCheckout(THidDevice* claimed) : device_(claimed) {}
    ~THidCheckout() { Release(); }
    THidCheckout(THidCheckout&& other) noexcept : device_(std::exchange(other.device_, nullptr)) {}
    THidCheckout& operator=(THidCheckout&& other) noexcept {
        if (this != &other) {
            Release();
            device_ = std::exchange(other.device_, nullptr);
        }
        return *this;
    }
    THidCheckout(const THidCheckout&) = delete;
    THidCheckout& operator=(const THidCheckout&) = delete;

    // Hands the device back. The handle is empty before the object goes, so
    // whatever runs meanwhile (a report delivered while its reader stops)
    // finds no device to write to.
    void Release() { delete std::exchange(device_, nullptr); }

    THidDevice* get() const { return device_; }
    THidDevice* operator->() const { return device_; }
    THidDevice& operator*() const { return *device_; }
    explicit operator bool() const { return device_ != nullptr; }
    bool operator==(std::nullptr_t) const { return device_ == nullptr; }

private:
    THidDevice* device_ = nullptr;
};

}  // namespace lumidra::hid
