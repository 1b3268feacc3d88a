#pragma once
// Windows backend: SetupAPI walk of the HID interface class and HID.dll
// feature transfers, both bound at run time by name.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/hid_platform.h"
#include "device/presence_watcher.h"

namespace bw {

// The libraries are bound once (a function-local static); HidD_ calls work per handle, so
// transfers on different handles share nothing. Enumeration, opening and the timer
// resolution take the platform's lock.
class Win32HidPlatform : public HidPlatform {
  public:
    Win32HidPlatform() = default;
    ~Win32HidPlatform() override;
    Win32HidPlatform(const Win32HidPlatform&) = delete;
    Win32HidPlatform& operator=(const Win32HidPlatform&) = delete;

    // Empty when SetupApi.dll or HID.dll cannot be bound. The port is the USB device's
    // location path (or its instance id), empty when CfgMgr32.dll cannot tell.
    std::vector<HidInterfaceInfo> enumerate() override;
    HidHandle open(const std::string& path, std::string* error = nullptr) override;
    int setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) override;
    int getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) override;
    void close(HidHandle handle) override;
    // Names the library or entry point that could not be bound.
    std::string serviceError() override;

    // Wakes on the system's HID interface arrivals and removals (CM_Register_Notification
    // of CfgMgr32.dll, Windows 8 and later); where it is missing, the short poll.
    std::unique_ptr<PresenceWatcher> watchPresence() override;

    // Raise the system timer resolution to 1 ms, or the protocol's 5 and 10 ms
    // pauses stretch to the default 15.6 ms tick.
    void beginOperation() override;
    void endOperation() override;

  private:
    std::mutex lock_;
    int timerPeriodDepth_ = 0;
};

}  // namespace bw
