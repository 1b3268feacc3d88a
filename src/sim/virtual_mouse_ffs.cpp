#include "sim/virtual_mouse_ffs.h"

#include "sim/virtual_mouse_requests.h"

namespace bw {
namespace {

// Values of linux/usb/functionfs.h, spelled out so the blob is plain bytes.
constexpr std::uint32_t kDescriptorsMagicV2 = 3;
constexpr std::uint32_t kStringsMagic = 2;
constexpr std::uint32_t kHasFullSpeed = 1;
constexpr std::uint32_t kHasHighSpeed = 2;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Patch32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutInterfaces(std::vector<std::uint8_t>& out, const VirtualMouseLayout& layout,
                   std::uint8_t interval) {
    for (std::size_t i = 0; i < layout.interfaces.size(); ++i) {
        const VirtualInterface& iface = layout.interfaces[i];
        const auto number = static_cast<std::uint8_t>(i);
        const std::uint8_t interfaceDesc[] = {
            9,
            0x04,
            number,
            0,
            1,
            0x03,                                              // one endpoint, HID class
            static_cast<std::uint8_t>(iface.pointer ? 1 : 0),  // boot subclass
            static_cast<std::uint8_t>(iface.pointer ? 2 : 0),  // mouse protocol
            0};
        out.insert(out.end(), std::begin(interfaceDesc), std::end(interfaceDesc));
        const auto hid = HidClassDescriptor(iface.reportDescriptor.size());
        out.insert(out.end(), hid.begin(), hid.end());
        const std::uint8_t endpointDesc[] = {
            7,       0x05, static_cast<std::uint8_t>(0x81 + number), 0x03,  // interrupt IN
            8,       0,                                                     // 8-byte packets
            interval};
        out.insert(out.end(), std::begin(endpointDesc), std::end(endpointDesc));
    }
}

}  // namespace

std::vector<std::uint8_t> FunctionFsDescriptors(const VirtualMouseLayout& layout) {
    std::vector<std::uint8_t> out;
    const auto count = static_cast<std::uint32_t>(3 * layout.interfaces.size());
    Put32(out, kDescriptorsMagicV2);
    Put32(out, 0);  // total length, patched below
    Put32(out, kHasFullSpeed | kHasHighSpeed);
    Put32(out, count);
    Put32(out, count);
    PutInterfaces(out, layout, 10);  // full speed: every 10 ms
    PutInterfaces(out, layout, 7);   // high speed: 2^(7-1) microframes, 8 ms
    Patch32(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::vector<std::uint8_t> FunctionFsStrings() {
    std::vector<std::uint8_t> out;
    Put32(out, kStringsMagic);
    Put32(out, 16);
    Put32(out, 0);  // no strings
    Put32(out, 0);  // no languages
    return out;
}

}  // namespace bw
