#pragma once
// A HID platform with nothing plugged in, for window tests that need no device.

#include "device/hid_platform.h"

namespace bw {

class NullPlatform : public HidPlatform {
  public:
    std::vector<HidInterfaceInfo> enumerate() override { return {}; }
    HidHandle open(const std::string&, std::string* error) override {
        if (error != nullptr) *error = "no device";
        return kInvalidHandle;
    }
    int setFeature(HidHandle, const std::uint8_t*, std::size_t) override { return -1; }
    int getFeature(HidHandle, std::uint8_t*, std::size_t) override { return -1; }
    void close(HidHandle) override {}
};

}  // namespace bw
