#include "device/udev_rule.h"

#include <cstdio>

namespace bw {
namespace {

// KERNEL=="hidraw*", ATTRS{idVendor}=="3a5c"[, ATTRS{idProduct}=="0c21"]
std::string Match(std::uint16_t vendorId, std::uint16_t productId) {
    char text[96];
    if (productId == 0) {
        std::snprintf(text, sizeof text, "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"%04x\"",
                      vendorId);
    } else {
        std::snprintf(text, sizeof text,
                      "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"",
                      vendorId, productId);
    }
    return text;
}

}  // namespace

std::string UdevRuleLine(std::uint16_t vendorId, std::uint16_t productId) {
    return Match(vendorId, productId) + ", TAG+=\"uaccess\"";
}

std::string UdevGroupRuleLine(std::uint16_t vendorId, std::uint16_t productId,
                              const std::string& group) {
    return Match(vendorId, productId) + ", GROUP=\"" + group + "\", MODE=\"0660\"";
}

}  // namespace bw
