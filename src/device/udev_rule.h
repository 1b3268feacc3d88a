#pragma once
// One udev rule line that lets the user logged in at the seat open the hidraw
// nodes of a USB device (TAG+="uaccess"). The same text is installed with the
// package and suggested when a node cannot be opened.

#include <cstdint>
#include <string>

namespace bw {

// Installed by the package; local additions go to kLocalUdevRulesFile.
inline constexpr const char* kUdevRulesFile = "/usr/lib/udev/rules.d/70-binwright.rules";
inline constexpr const char* kLocalUdevRulesFile = "/etc/udev/rules.d/70-binwright-local.rules";

// KERNEL=="hidraw*", ATTRS{idVendor}=="3a5c", ATTRS{idProduct}=="0c21", TAG+="uaccess"
// with lower-case hex as sysfs shows it. productId 0 leaves the product out.
std::string UdevRuleLine(std::uint16_t vendorId, std::uint16_t productId);

// The same match for a service account: the nodes belong to `group`, which may read and
// write them (GROUP="binwright", MODE="0660"), with no one logged in at the seat.
std::string UdevGroupRuleLine(std::uint16_t vendorId, std::uint16_t productId,
                              const std::string& group);

}  // namespace bw
