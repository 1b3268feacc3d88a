#pragma once
// The blobs FunctionFS expects on ep0 before the gadget may be bound: the
// descriptors (full and high speed) and the (empty) string table.

#include <cstdint>
#include <vector>

#include "sim/virtual_mouse_layout.h"

namespace bw {

// Per interface: interface descriptor (HID class), HID class descriptor and one
// interrupt IN endpoint (address 0x81 + index), which usbhid insists on.
std::vector<std::uint8_t> FunctionFsDescriptors(const VirtualMouseLayout& layout);
std::vector<std::uint8_t> FunctionFsStrings();

}  // namespace bw
