#include "device/hid_linux_hidraw.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "device/hid_linux_presence.h"
#include "device/report_descriptor.h"
#include "device/udev_rule.h"

namespace bw {
namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// HID_ID is "bus:vendor:product" in hex, e.g. "0003:00003A5C:00000C21".
bool ParseHidId(const char* text, std::uint16_t& vendor, std::uint16_t& product) {
    if (text == nullptr) return false;
    unsigned bus = 0;
    unsigned long v = 0;
    unsigned long p = 0;
    if (std::sscanf(text, "%x:%lx:%lx", &bus, &v, &p) != 3) return false;
    vendor = static_cast<std::uint16_t>(v);
    product = static_cast<std::uint16_t>(p);
    return true;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ErrnoText(int error) {
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

std::string HidrawPlatform::portProblem(const std::string& port) {
    const auto dash = port.find('-');
    const bool digitsAndDots =
        dash != std::string::npos && dash > 0 && dash + 1 < port.size() && port.back() != '.' &&
        port.find_first_not_of("0123456789") == dash &&
        port.find_first_not_of("0123456789.", dash + 1) == std::string::npos &&
        port.find("..") == std::string::npos && port[dash + 1] != '.';
    if (!digitsAndDots)
        return "is not a USB port name (bus-port[.port...], as list --json names it)";
    const auto dot = port.rfind('.');
    const bool onRoot = dot == std::string::npos;
    const std::string hub = onRoot ? "usb" + port.substr(0, dash) : port.substr(0, dot);
    const std::string number = port.substr(onRoot ? dash + 1 : dot + 1);
    if (number.size() > 3) return "hub " + hub + " has no port " + number;
    const std::lock_guard<std::mutex> hold(lock_);
    UdevPtr<udev> context(udev_new());
    if (!context) return {};
    UdevPtr<udev_device> device(
        udev_device_new_from_subsystem_sysname(context.get(), "usb", hub.c_str()));
    if (!device) return "hub " + hub + " is not connected";
    const char* children = udev_device_get_sysattr_value(device.get(), "maxchild");
    if (children == nullptr) return {};
    const int ports = std::atoi(children);
    const int wanted = std::atoi(number.c_str());
    if (wanted >= 1 && wanted <= ports) return {};
    return ports == 0 ? hub + " is no hub"
                      : "hub " + hub + " has " + std::to_string(ports) + " ports";
}

std::vector<HidInterfaceInfo> HidrawPlatform::enumerate() {
    const std::lock_guard<std::mutex> hold(lock_);
    std::vector<HidInterfaceInfo> result;
    UdevPtr<udev> context(udev_new());
    if (!context) return result;
    UdevPtr<udev_enumerate> walk(udev_enumerate_new(context.get()));
    if (!walk) return result;
    udev_enumerate_add_match_subsystem(walk.get(), "hidraw");
    udev_enumerate_scan_devices(walk.get());

    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(walk.get())) {
        UdevPtr<udev_device> node(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!node) continue;
        const char* devnode = udev_device_get_devnode(node.get());
        if (devnode == nullptr) continue;

        HidInterfaceInfo info;
        info.path = devnode;
        // For the effective user, as open() checks it.
        info.openable = ::faccessat(AT_FDCWD, devnode, R_OK | W_OK, AT_EACCESS) == 0;
        // Parents are owned by the child device; no unref.
        udev_device* hid =
            udev_device_get_parent_with_subsystem_devtype(node.get(), "hid", nullptr);
        std::vector<std::uint8_t> descriptor;
        if (hid != nullptr) {
            info.attributesRead = ParseHidId(udev_device_get_property_value(hid, "HID_ID"),
                                             info.vendorId, info.productId);
            descriptor = ReadFile(std::string(udev_device_get_syspath(hid)) + "/report_descriptor");
        } else {
            info.attributesRead = false;
        }
        udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(node.get(), "usb", "usb_device");
        if (usb != nullptr) {
            if (const char* bcd = udev_device_get_sysattr_value(usb, "bcdDevice"))
                info.release = static_cast<std::uint16_t>(std::strtoul(bcd, nullptr, 16));
            // The USB device's name is its place: bus, then the port on each hub ("1-2.3").
            if (const char* place = udev_device_get_sysname(usb)) info.port = place;
        }

        const auto collections = ParseTopLevelCollections(descriptor.data(), descriptor.size());
        if (collections.empty()) {
            result.push_back(info);
            continue;
        }
        for (const auto& collection : collections) {
            info.featureLength = static_cast<std::uint16_t>(collection.featureLength);
            result.push_back(info);
        }
    }
    return result;
}

HidHandle HidrawPlatform::open(const std::string& path, std::string* error) {
    const std::lock_guard<std::mutex> hold(lock_);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        if (error != nullptr) *error = ErrnoText(errno);
        return kInvalidHandle;
    }
    return fd;
}

int HidrawPlatform::setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) {
    if (handle < 0 || data == nullptr || length == 0) return -1;
    // The ioctl takes a non-const buffer; it only reads it.
    std::vector<std::uint8_t> buffer(data, data + length);
    // Bytes sent, report ID included.
    const int moved = ::ioctl(static_cast<int>(handle), HIDIOCSFEATURE(length), buffer.data());
    return moved < 0 ? -1 : moved;
}

int HidrawPlatform::getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) {
    if (handle < 0 || data == nullptr || length == 0) return -1;
    // Bytes received, report ID included; a device may answer with fewer than asked for.
    // A refusal by the device arrives as EIO or EPIPE.
    const int moved = ::ioctl(static_cast<int>(handle), HIDIOCGFEATURE(length), data);
    return moved < 0 ? -1 : moved;
}

void HidrawPlatform::close(HidHandle handle) {
    if (handle >= 0) ::close(static_cast<int>(handle));
}

std::unique_ptr<PresenceWatcher> HidrawPlatform::watchPresence() {
    return MakeHidrawPresenceWatcher();
}

std::string PermissionHint(const std::string& node, std::uint16_t vendorId,
                           std::uint16_t productId) {
    std::string text = "permission denied on " + node;
    if (vendorId == 0) {
        return text +
               ": the user may not open it; add a udev rule for the mouse's USB identity to " +
               kLocalUdevRulesFile + " (or run as root)";
    }
    return text + ": add this udev rule to " + kLocalUdevRulesFile + "\n  " +
           UdevRuleLine(vendorId, productId) +
           "\nthen run 'sudo udevadm control --reload && sudo udevadm trigger' and plug the "
           "mouse in again (or run as root)";
}

}  // namespace bw
