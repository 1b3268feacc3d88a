#pragma once
// Control requests of the virtual USB mouse on endpoint 0: descriptors, idle
// and protocol requests, and the feature reports, which the controller model
// answers. Kept free of the gadget stack so it can be tested on its own.

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/scenario.h"
#include "sim/sim_mouse.h"
#include "sim/virtual_mouse_layout.h"

namespace bw {

// The setup packet, with wIndex already mapped to the function's interface number.
struct ControlSetup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

struct ControlAnswer {
    bool stall = false;
    std::vector<std::uint8_t> data;  // IN requests: what to send (at most wLength)
};

class VirtualMouseRequests {
  public:
    VirtualMouseRequests(VirtualMouseLayout layout, const Scenario& scenario);

    // IN requests and OUT requests without a data stage.
    ControlAnswer answer(const ControlSetup& setup);
    // OUT requests with a data stage: whether to take the data (false: stall),
    // then the data itself once read.
    bool acceptsData(const ControlSetup& setup) const;
    void deliver(const ControlSetup& setup, const std::uint8_t* data, std::size_t length);

    // Feature transfers served so far, and whether the scenario's unplug is due.
    long transfers() const { return transfers_; }
    bool unplugDue() const { return failAfter_ >= 0 && transfers_ >= failAfter_; }

    const VirtualMouseLayout& layout() const { return layout_; }
    SimulatedMouse& mouse() { return *mouse_; }
    // A fresh controller for the next plug-in, memory as at start.
    void replaceMouse();

  private:
    const VirtualInterface* interfaceAt(std::uint16_t index) const;
    bool carries(const ControlSetup& setup) const;

    VirtualMouseLayout layout_;
    Faults faults_;
    SimStatusBytes status_;
    Image initialMemory_{};
    int icType_;
    std::unique_ptr<SimulatedMouse> mouse_;
    long transfers_ = 0;
    long gets_ = 0;  // feature reports fetched, for short-reply
    long failAfter_ = -1;
};

// HID class descriptor (type 0x21) announcing a report descriptor of the given length.
std::vector<std::uint8_t> HidClassDescriptor(std::size_t reportDescriptorLength);

}  // namespace bw
