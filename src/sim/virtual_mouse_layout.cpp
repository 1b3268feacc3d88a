#include "sim/virtual_mouse_layout.h"

#include <charconv>
#include <stdexcept>

#include "image/ic_types.h"

namespace bw {
namespace {

std::uint16_t Hex(std::string_view text) {
    std::uint16_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

VirtualInterface FeatureInterface(std::vector<std::uint8_t> ids) {
    VirtualInterface iface;
    iface.reportDescriptor = FeatureReportDescriptor(ids);
    iface.reportIds = std::move(ids);
    return iface;
}

}  // namespace

std::vector<std::uint8_t> FeatureReportDescriptor(const std::vector<std::uint8_t>& reportIds) {
    std::vector<std::uint8_t> d = {
        0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
    };
    for (const std::uint8_t id : reportIds) {
        const std::uint8_t item[] = {
            0x85, id,          // Report ID
            0x09, 0x01,        // Usage (1)
            0x15, 0x00,        // Logical Minimum (0)
            0x26, 0xFF, 0x00,  // Logical Maximum (255)
            0x75, 0x08,        // Report Size (8)
            0x95, 0x07,        // Report Count (7)
            0xB1, 0x02,        // Feature (Data, Variable, Absolute)
        };
        d.insert(d.end(), std::begin(item), std::end(item));
    }
    d.push_back(0xC0);  // End Collection
    return d;
}

std::vector<std::uint8_t> PointerReportDescriptor() {
    return {
        0x05, 0x01,  // Usage Page (Generic Desktop)
        0x09, 0x02,  // Usage (Mouse)
        0xA1, 0x01,  // Collection (Application)
        0x09, 0x01,  //   Usage (Pointer)
        0xA1, 0x00,  //   Collection (Physical)
        0x05, 0x09,  //     Usage Page (Buttons)
        0x19, 0x01,  //     Usage Minimum (1)
        0x29, 0x03,  //     Usage Maximum (3)
        0x15, 0x00,  //     Logical Minimum (0)
        0x25, 0x01,  //     Logical Maximum (1)
        0x95, 0x03,  //     Report Count (3)
        0x75, 0x01,  //     Report Size (1)
        0x81, 0x02,  //     Input (Data, Variable, Absolute)
        0x95, 0x01,  //     Report Count (1)
        0x75, 0x05,  //     Report Size (5)
        0x81, 0x01,  //     Input (Constant)
        0x05, 0x01,  //     Usage Page (Generic Desktop)
        0x09, 0x30,  //     Usage (X)
        0x09, 0x31,  //     Usage (Y)
        0x09, 0x38,  //     Usage (Wheel)
        0x15, 0x81,  //     Logical Minimum (-127)
        0x25, 0x7F,  //     Logical Maximum (127)
        0x75, 0x08,  //     Report Size (8)
        0x95, 0x03,  //     Report Count (3)
        0x81, 0x06,  //     Input (Data, Variable, Relative)
        0xC0,        //   End Collection
        0xC0,        // End Collection
    };
}

VirtualMouseLayout MakeVirtualMouseLayout(const Scenario& scenario) {
    const IcType* type = IcTypeAt(scenario.ic);
    if (!type) throw std::out_of_range("virtual mouse: IC type must be 0 to 2");
    VirtualMouseLayout layout;
    layout.vendorId = scenario.vendorId.value_or(Hex(type->defaultVid));
    layout.productId = scenario.productId.value_or(Hex(type->defaultPid));
    layout.release = scenario.release.value_or(type->release);
    if (scenario.pointer) {
        VirtualInterface pointer;
        pointer.pointer = true;
        pointer.reportDescriptor = PointerReportDescriptor();
        layout.interfaces.push_back(std::move(pointer));
    }
    if (type->protocol == Protocol::Report4) {
        layout.interfaces.push_back(FeatureInterface({0x04}));
    } else if (scenario.split) {
        layout.interfaces.push_back(FeatureInterface({0x40}));
        layout.interfaces.push_back(FeatureInterface({0x41}));
    } else {
        layout.interfaces.push_back(FeatureInterface({0x40, 0x41}));
    }
    return layout;
}

}  // namespace bw
