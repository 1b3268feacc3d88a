#pragma once
// The one seam between the tool and the operating system's HID class access.
// Every feature transfer of the tool passes through an HidPlatform, so the
// simulated controller and the transfer trace see all traffic.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bw {

// Platform handle; -1 is the invalid handle, as the platform's INVALID_HANDLE_VALUE.
using HidHandle = std::intptr_t;
inline constexpr HidHandle kInvalidHandle = -1;

// One HID top-level collection as the platform sees it.
struct HidInterfaceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t release = 0;        // USB bcdDevice
    std::uint16_t featureLength = 0;  // feature report byte length, report ID byte included
    bool attributesRead = true;       // false: attributes/capabilities could not be read
    // Set by a backend that opened the interface while enumerating (Windows reads the
    // attributes that way): whether that open succeeded, so a count need not open it again.
    std::optional<bool> openable;
};

class HidPlatform {
  public:
    virtual ~HidPlatform() = default;

    // Present HID interfaces in enumeration order. Cheap enough to call ten
    // times per poll tick.
    virtual std::vector<HidInterfaceInfo> enumerate() = 0;

    // Opens without exclusive access. Returns kInvalidHandle on failure and,
    // when error is given, a short reason (for example "permission denied").
    virtual HidHandle open(const std::string& path, std::string* error = nullptr) = 0;

    // Both return the number of bytes moved, report ID included, or -1 on failure.
    // A device may move fewer than `length` bytes; only Link decides what that means.
    // data[0] is the report ID; length counts it.
    virtual int setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) = 0;
    // data[0] holds the wanted report ID on entry; the reply is in data (after a short
    // reply, the bytes past it keep what they held).
    virtual int getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) = 0;

    virtual void close(HidHandle handle) = 0;

    // Empty while the system's HID services are usable; otherwise why they are not
    // (a library that could not be bound). enumerate() is then empty.
    virtual std::string serviceError() { return {}; }

    // Called around a device operation; a backend may raise the timer resolution.
    virtual void beginOperation() {}
    virtual void endOperation() {}
};

}  // namespace bw
