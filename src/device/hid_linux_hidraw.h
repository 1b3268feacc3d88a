#pragma once
// Linux backend: hidraw nodes found through udev, feature transfers by ioctl.

#include <cstdint>
#include <mutex>
#include <string>

#include "device/hid_platform.h"

namespace bw {

// Every open is a file descriptor of its own, so transfers on different handles share
// nothing; enumeration and opening take the platform's lock.
class HidrawPlatform : public HidPlatform {
  public:
    // One entry per top-level collection of each hidraw node; a node with several
    // collections lists its path once per collection, each with its own feature length.
    // Whether a node could be opened comes from access(2), without opening it: every open
    // starts the device's interrupt transfers and keeps it from suspending.
    std::vector<HidInterfaceInfo> enumerate() override;
    HidHandle open(const std::string& path, std::string* error = nullptr) override;
    int setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) override;
    int getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) override;
    void close(HidHandle handle) override;
    // udev's hidraw events.
    std::unique_ptr<PresenceWatcher> watchPresence() override;
    // A USB port "B-P[.P...]": port P of the hub before it (of the root hub of bus B for
    // "B-P"), which must be connected and have that many ports (its maxchild in sysfs).
    std::string portProblem(const std::string& port) override;

  private:
    std::mutex lock_;
};

// What to tell the user when a hidraw node cannot be opened for lack of permission:
// the udev rule for the device's identity (productId 0: vendor only; vendorId 0: unknown).
std::string PermissionHint(const std::string& node, std::uint16_t vendorId = 0,
                           std::uint16_t productId = 0);

}  // namespace bw
