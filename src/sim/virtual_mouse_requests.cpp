#include "sim/virtual_mouse_requests.h"

#include <algorithm>

namespace bw {
namespace {

constexpr std::uint8_t kDirIn = 0x80;
constexpr std::uint8_t kTypeMask = 0x60;
constexpr std::uint8_t kTypeStandard = 0x00;
constexpr std::uint8_t kTypeClass = 0x20;

constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint8_t kGetReport = 0x01;
constexpr std::uint8_t kGetIdle = 0x02;
constexpr std::uint8_t kGetProtocol = 0x03;
constexpr std::uint8_t kSetReport = 0x09;
constexpr std::uint8_t kSetIdle = 0x0A;
constexpr std::uint8_t kSetProtocol = 0x0B;

constexpr std::uint8_t kHidDescriptor = 0x21;
constexpr std::uint8_t kReportDescriptor = 0x22;
constexpr std::uint8_t kInputReport = 1;
constexpr std::uint8_t kFeatureReport = 3;
constexpr std::size_t kFrameSize = 8;

ControlAnswer Stall() {
    return ControlAnswer{true, {}};
}

ControlAnswer Data(std::vector<std::uint8_t> bytes, std::uint16_t length) {
    if (bytes.size() > length) bytes.resize(length);
    return ControlAnswer{false, std::move(bytes)};
}

}  // namespace

std::vector<std::uint8_t> HidClassDescriptor(std::size_t reportDescriptorLength) {
    return {9,
            kHidDescriptor,
            0x11,
            0x01,  // bcdHID 1.11
            0x00,
            1,
            kReportDescriptor,
            static_cast<std::uint8_t>(reportDescriptorLength & 0xFF),
            static_cast<std::uint8_t>(reportDescriptorLength >> 8)};
}

VirtualMouseRequests::VirtualMouseRequests(VirtualMouseLayout layout, const Scenario& scenario)
    : layout_(std::move(layout)),
      faults_(scenario.faults),
      status_{scenario.status1, scenario.status2, scenario.chip},
      icType_(scenario.ic) {
    initialMemory_.fill(0xFF);
    if (scenario.memory) initialMemory_ = *scenario.memory;
    // Unplugging replaces the simulated line's failing transfers.
    failAfter_ = faults_.failAfter;
    faults_.failAfter = -1;
    replaceMouse();
}

void VirtualMouseRequests::replaceMouse() {
    mouse_ = std::make_unique<SimulatedMouse>(icType_, status_, initialMemory_);
}

const VirtualInterface* VirtualMouseRequests::interfaceAt(std::uint16_t index) const {
    if (index >= layout_.interfaces.size()) return nullptr;
    return &layout_.interfaces[index];
}

bool VirtualMouseRequests::carries(const ControlSetup& setup) const {
    const VirtualInterface* iface = interfaceAt(setup.index);
    if (iface == nullptr || (setup.value >> 8) != kFeatureReport) return false;
    const auto id = static_cast<std::uint8_t>(setup.value & 0xFF);
    return std::find(iface->reportIds.begin(), iface->reportIds.end(), id) !=
           iface->reportIds.end();
}

ControlAnswer VirtualMouseRequests::answer(const ControlSetup& setup) {
    const VirtualInterface* iface = interfaceAt(setup.index);
    if (iface == nullptr) return Stall();
    const std::uint8_t type = setup.requestType & kTypeMask;
    const bool in = (setup.requestType & kDirIn) != 0;

    if (type == kTypeStandard && in && setup.request == kGetDescriptor) {
        switch (setup.value >> 8) {
            case kReportDescriptor:
                return Data(iface->reportDescriptor, setup.length);
            case kHidDescriptor:
                return Data(HidClassDescriptor(iface->reportDescriptor.size()), setup.length);
            default:
                return Stall();
        }
    }
    if (type != kTypeClass) return Stall();

    switch (setup.request) {
        case kSetIdle:
        case kSetProtocol:
            return in ? Stall() : ControlAnswer{};
        case kGetIdle:
            return in ? Data({0}, setup.length) : Stall();
        case kGetProtocol:
            return in ? Data({1}, setup.length) : Stall();
        case kGetReport: {
            if (!in) return Stall();
            if (iface->pointer && (setup.value >> 8) == kInputReport)
                return Data(std::vector<std::uint8_t>(4, 0), setup.length);
            if (!carries(setup)) return Stall();
            ++transfers_;
            SimFrame frame{};
            frame[0] = static_cast<std::uint8_t>(setup.value & 0xFF);
            if (!mouse_->getFeature(frame, faults_)) return Stall();
            // short-reply: the mouse took it as answered, but only the report ID goes back.
            if (faults_.shortReply > 0 && ++gets_ % faults_.shortReply == 0)
                return Data({frame[0]}, setup.length);
            return Data(std::vector<std::uint8_t>(frame.begin(), frame.end()), setup.length);
        }
        default:
            return Stall();
    }
}

bool VirtualMouseRequests::acceptsData(const ControlSetup& setup) const {
    const bool classOut = (setup.requestType & (kDirIn | kTypeMask)) == kTypeClass;
    return classOut && setup.request == kSetReport && setup.length == kFrameSize && carries(setup);
}

void VirtualMouseRequests::deliver(const ControlSetup& setup, const std::uint8_t* data,
                                   std::size_t length) {
    ++transfers_;
    SimFrame frame{};
    std::copy(data, data + std::min(length, frame.size()), frame.begin());
    // The report ID of the setup packet rules; the first data byte repeats it.
    frame[0] = static_cast<std::uint8_t>(setup.value & 0xFF);
    mouse_->setFeature(frame, faults_);
}

}  // namespace bw
