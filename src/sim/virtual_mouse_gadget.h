#pragma once
// A USB gadget in configfs with one FunctionFS function, mounted and given its
// descriptors, bound to a USB device controller (dummy_hcd in the test guest).
// Linux only; needs root, configfs and the usb_f_fs module.

#include <stdexcept>
#include <string>
#include <vector>

#include "sim/virtual_mouse_layout.h"

namespace bw {

class GadgetError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The controllers in /sys/class/udc in port order; throws GadgetError when there are none.
std::vector<std::string> ListUdcs();

class UsbGadget {
  public:
    // Creates the gadget for the controller udc and writes descriptors and strings to
    // ep0; not yet bound. Throws GadgetError naming the step that failed; what was made
    // is removed.
    UsbGadget(const std::string& name, const VirtualMouseLayout& layout, const std::string& udc,
              const std::string& serialNumber);
    ~UsbGadget();
    UsbGadget(const UsbGadget&) = delete;
    UsbGadget& operator=(const UsbGadget&) = delete;

    int ep0() const { return ep0_; }
    const std::string& udc() const { return udc_; }

    // Plug in (bind to the UDC) and pull out (write an empty name).
    void bind();
    void unbind();
    bool bound() const { return bound_; }

  private:
    void teardown();

    std::string gadgetDir_;
    std::string mountDir_;
    std::string udc_;
    std::vector<std::string> made_;  // directories and links, removed in reverse
    bool mounted_ = false;
    bool bound_ = false;
    int ep0_ = -1;
};

}  // namespace bw
