#pragma once
// The one seam between the tool and the operating system's HID class access.
// Every feature transfer of the tool passes through an HidPlatform, so the
// simulated controller and the transfer trace see all traffic.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/presence_watcher.h"

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
    // Set by a backend that knows without opening whether open() would succeed (Windows
    // opened the interface to read its attributes; Linux asks access(2)), so a count
    // need not open it.
    std::optional<bool> openable;
    // The USB port the interface's device hangs on, the same for all its interfaces and
    // kept while it stays plugged in: "1-2.3" (bus 1, hub port 2, port 3) on Linux, the
    // location path on Windows, "port3" on the simulated line; empty where unknown.
    std::string port;
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
    // Called as a device operation ends, before endOperation(), with one of the handles it
    // used (kInvalidHandle: none was open). The simulated line of several ports pulls the
    // mouse behind the handle out once it was written.
    virtual void operationEnded(HidHandle /*handle*/) {}

    // A watcher that waits for the set of interfaces to change; the platform must outlive
    // it. The default sleeps a short period.
    virtual std::unique_ptr<PresenceWatcher> watchPresence();

    // Empty when a mouse may appear on `port` (named as HidInterfaceInfo::port names it) or
    // when the backend cannot tell; otherwise why none ever will, e.g. "hub 1-2 has 4
    // ports" (a gang station's --slots list is checked with it at the start).
    virtual std::string portProblem(const std::string& /*port*/) { return {}; }

    // Several threads may call one platform at once: enumeration and opening are
    // serialised by the backend, transfers on different handles run in parallel.
};

}  // namespace bw
