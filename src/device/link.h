#pragma once
// Link state: the handles of the opened mouse and the report buffers of both
// protocols, with the interface walk and the four feature primitives.
// A platform handle that a handle variable stops holding is closed here.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/hid_platform.h"
#include "device/link_record.h"

namespace bw {

using Report = std::array<std::uint8_t, 8>;
using Piece = std::array<std::uint8_t, 7>;

class Link {
  public:
    explicit Link(HidPlatform& platform) : platform_(platform) {}
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    HidPlatform& platform() { return platform_; }

    // Number of present HID interfaces whose path could be opened.
    std::int32_t CountHidInterfaces();
    // Opens the report-4 interface matching vendor, product, 8-byte features and release.
    // With a port, only the interfaces on that USB port are opened (one mouse of several).
    bool OpenDeviceReport4(std::int32_t vendorId, std::int32_t productId,
                           std::int32_t expectedVersion, std::string_view port = {});
    // Opens the report-0x40/0x41 interfaces; writes the device's release into expectedVersion.
    // True only when both Report40Handle and Report41Handle are usable afterwards. With a
    // port, interfaces on other ports are neither opened nor probed.
    bool OpenDeviceReport40(std::int32_t vendorId, std::int32_t productId,
                            std::int32_t& expectedVersion, std::string_view port = {});

    bool SetFeature4(HidHandle handle, Report& buffer);
    bool GetFeature4(HidHandle handle, Report& buffer);
    bool SetFeature40(HidHandle handle, Report& buffer);
    bool GetFeature40(HidHandle handle, Report& buffer);

    // Drops all three handles (device removed, window closed), closing them.
    void ForgetHandles();
    bool AnyDeviceOpen() const { return AnyOpenHandle() != kInvalidHandle; }
    // One of the open handles, or kInvalidHandle.
    HidHandle AnyOpenHandle() const {
        if (Report4Handle != kInvalidHandle) return Report4Handle;
        return Report40Handle != kInvalidHandle ? Report40Handle : Report41Handle;
    }

    // Read-only outside this class: assignments go through the setters so that
    // a handle that stops being held is closed exactly once.
    HidHandle Report4Handle = kInvalidHandle;
    HidHandle Report40Handle = kInvalidHandle;
    HidHandle Report41Handle = kInvalidHandle;
    std::int32_t FeatureLength4 = 0;
    std::int32_t FeatureLength40 = 0;
    // Path of the interface that carries the commands (report 4 or 0x40); empty when none.
    std::string OpenedPath;
    // Path of the interface that gives report 0x41, where the mouse has it on another one;
    // empty otherwise.
    std::string DataPath;

    // The last transfer moved some bytes, but not the whole report: the device may have
    // taken it as done (an answer it will not give again).
    bool LastTransferShort = false;

    // Transfers and faults since the operation began (image/reason.h reads it).
    LinkRecord Record;
    // A fault the report protocols found; it names the transfer it happened at.
    void NoteFault(LinkFault fault);

    Report Report4Buffer{};
    Report Report40Buffer{};
    Piece Piece4{};
    Piece Piece41{};

  private:
    bool transfer(HidHandle handle, Report& buffer, std::int32_t length, bool set);
    void setHandle(HidHandle& slot, HidHandle value);
    void releaseIfUnused(HidHandle handle);

    HidPlatform& platform_;
};

}  // namespace bw
