#pragma once
// What the virtual USB mouse shows the host: its identity and its interfaces,
// each with the HID report descriptor it returns, chosen from the scenario keys.

#include <cstdint>
#include <vector>

#include "sim/scenario.h"

namespace bw {

struct VirtualInterface {
    bool pointer = false;                 // boot mouse with input reports only
    std::vector<std::uint8_t> reportIds;  // 8-byte feature reports it carries
    std::vector<std::uint8_t> reportDescriptor;
};

struct VirtualMouseLayout {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t release = 0;  // bcdDevice
    std::vector<VirtualInterface> interfaces;
};

// Vendor-defined collection with one 8-byte feature report (ID byte + 7) per ID.
std::vector<std::uint8_t> FeatureReportDescriptor(const std::vector<std::uint8_t>& reportIds);
// Boot mouse: three buttons, X, Y, wheel; no feature reports.
std::vector<std::uint8_t> PointerReportDescriptor();

// Same interface order as the simulated line: pointer first, then the feature
// interface(s). Throws std::out_of_range for an IC type outside 0..2.
VirtualMouseLayout MakeVirtualMouseLayout(const Scenario& scenario);

}  // namespace bw
