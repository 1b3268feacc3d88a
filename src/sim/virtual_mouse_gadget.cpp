#include "sim/virtual_mouse_gadget.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "sim/virtual_mouse_ffs.h"
#include "sim/virtual_mouse_ports.h"

namespace bw {
namespace {

constexpr const char* kConfigfs = "/sys/kernel/config";
constexpr const char* kUdcClass = "/sys/class/udc";

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value & 0xFFFFu);
    return text;
}

void WriteAttribute(const std::string& path, const std::string& value) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw GadgetError("cannot open " + path + ": " + std::strerror(errno));
    const std::string line = value + "\n";
    const ssize_t n = ::write(fd, line.data(), line.size());
    const int error = errno;
    ::close(fd);
    if (n != static_cast<ssize_t>(line.size()))
        throw GadgetError("cannot write '" + value + "' to " + path + ": " + std::strerror(error));
}

void WriteAll(int fd, const std::vector<std::uint8_t>& bytes, const char* what) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n != static_cast<ssize_t>(bytes.size()))
        throw GadgetError(std::string("FunctionFS refused the ") + what + ": " +
                          std::strerror(errno));
}

}  // namespace

std::vector<std::string> ListUdcs() {
    std::vector<std::string> udcs;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(kUdcClass, ec))
        udcs.push_back(entry.path().filename().string());
    if (udcs.empty())
        throw GadgetError("no USB device controller in /sys/class/udc (is dummy_hcd loaded?)");
    std::sort(udcs.begin(), udcs.end(), UdcOrderLess);
    return udcs;
}

UsbGadget::UsbGadget(const std::string& name, const VirtualMouseLayout& layout,
                     const std::string& udc, const std::string& serialNumber)
    : udc_(udc) {
    try {
        const std::string gadgets = std::string(kConfigfs) + "/usb_gadget";
        if (::access(gadgets.c_str(), F_OK) != 0 &&
            ::mount("none", kConfigfs, "configfs", 0, nullptr) != 0 && errno != EBUSY)
            throw GadgetError(std::string("cannot mount configfs: ") + std::strerror(errno));
        if (::access(gadgets.c_str(), F_OK) != 0)
            throw GadgetError(gadgets + " is missing (is libcomposite loaded?)");

        gadgetDir_ = gadgets + "/" + name;
        const auto makeDir = [this](const std::string& path) {
            if (::mkdir(path.c_str(), 0755) != 0)
                throw GadgetError("cannot create " + path + ": " + std::strerror(errno));
            made_.push_back(path);
        };
        makeDir(gadgetDir_);
        WriteAttribute(gadgetDir_ + "/idVendor", Hex4(layout.vendorId));
        WriteAttribute(gadgetDir_ + "/idProduct", Hex4(layout.productId));
        WriteAttribute(gadgetDir_ + "/bcdDevice", Hex4(layout.release));
        WriteAttribute(gadgetDir_ + "/bcdUSB", "0x0200");
        makeDir(gadgetDir_ + "/strings/0x409");
        WriteAttribute(gadgetDir_ + "/strings/0x409/manufacturer", "Binwright");
        WriteAttribute(gadgetDir_ + "/strings/0x409/product", "Virtual mouse");
        WriteAttribute(gadgetDir_ + "/strings/0x409/serialnumber", serialNumber);
        makeDir(gadgetDir_ + "/configs/c.1");
        WriteAttribute(gadgetDir_ + "/configs/c.1/MaxPower", "100");
        const std::string function = gadgetDir_ + "/functions/ffs." + name;
        makeDir(function);
        const std::string link = gadgetDir_ + "/configs/c.1/ffs." + name;
        if (::symlink(function.c_str(), link.c_str()) != 0)
            throw GadgetError("cannot link the function into the configuration: " +
                              std::string(std::strerror(errno)));
        made_.push_back(link);

        mountDir_ = "/run/" + name + "-ffs";
        ::mkdir(mountDir_.c_str(), 0755);
        if (::mount(name.c_str(), mountDir_.c_str(), "functionfs", 0, nullptr) != 0)
            throw GadgetError("cannot mount functionfs on " + mountDir_ + ": " +
                              std::strerror(errno));
        mounted_ = true;
        ep0_ = ::open((mountDir_ + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
        if (ep0_ < 0) throw GadgetError(std::string("cannot open ep0: ") + std::strerror(errno));
        // Descriptors and strings must be in place before the gadget is bound.
        WriteAll(ep0_, FunctionFsDescriptors(layout), "descriptors");
        WriteAll(ep0_, FunctionFsStrings(), "strings");
    } catch (...) {
        teardown();
        throw;
    }
}

UsbGadget::~UsbGadget() {
    teardown();
}

void UsbGadget::bind() {
    if (bound_) return;
    WriteAttribute(gadgetDir_ + "/UDC", udc_);
    bound_ = true;
}

void UsbGadget::unbind() {
    if (!bound_) return;
    WriteAttribute(gadgetDir_ + "/UDC", "");
    bound_ = false;
}

void UsbGadget::teardown() {
    if (bound_) {
        try {
            unbind();
        } catch (const GadgetError&) {
            // Removal below fails too then; nothing more to do.
        }
    }
    if (ep0_ >= 0) ::close(ep0_);
    ep0_ = -1;
    if (mounted_) ::umount(mountDir_.c_str());
    mounted_ = false;
    if (!mountDir_.empty()) ::rmdir(mountDir_.c_str());
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        if (::unlink(it->c_str()) != 0) ::rmdir(it->c_str());
    }
    made_.clear();
}

}  // namespace bw
