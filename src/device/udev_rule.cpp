#include "device/udev_rule.h"

#include <cstdio>

namespace bw {

std::string UdevRuleLine(std::uint16_t vendorId, std::uint16_t productId) {
    char text[128];
    if (productId == 0) {
        std::snprintf(text, sizeof text,
                      "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"%04x\", TAG+=\"uaccess\"", vendorId);
    } else {
        std::snprintf(text, sizeof text,
                      "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", "
                      "TAG+=\"uaccess\"",
                      vendorId, productId);
    }
    return text;
}

}  // namespace bw
