#include "device/hid_linux_presence.h"

#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace bw {
namespace {

class HidrawPresenceWatcher : public PresenceWatcher {
  public:
    HidrawPresenceWatcher(udev* context, udev_monitor* monitor)
        : context_(context), monitor_(monitor), fd_(udev_monitor_get_fd(monitor)) {}
    ~HidrawPresenceWatcher() override {
        udev_monitor_unref(monitor_);
        udev_unref(context_);
    }
    HidrawPresenceWatcher(const HidrawPresenceWatcher&) = delete;
    HidrawPresenceWatcher& operator=(const HidrawPresenceWatcher&) = delete;

    bool waitForChange(int timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
            // Events of other subsystems are dropped by the monitor's filter: wait on.
            if (ready > 0 && drain()) return true;
            if (ready == 0) return false;
            // A signal: the caller may want to look at its stop request.
            if (ready < 0) return errno == EINTR;
        }
    }

  private:
    // Takes every queued event, so that one burst of events wakes the caller once.
    bool drain() {
        bool any = false;
        while (udev_device* device = udev_monitor_receive_device(monitor_)) {
            any = true;
            udev_device_unref(device);
        }
        return any;
    }

    udev* context_;
    udev_monitor* monitor_;
    int fd_;
};

}  // namespace

std::unique_ptr<PresenceWatcher> MakeHidrawPresenceWatcher() {
    udev* context = udev_new();
    if (context == nullptr) return std::make_unique<PollingPresenceWatcher>();
    // The daemon's control socket tells whether it runs; without it no "udev" event comes.
    const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, source);
    if (monitor != nullptr &&
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(monitor) >= 0) {
        return std::make_unique<HidrawPresenceWatcher>(context, monitor);
    }
    if (monitor != nullptr) udev_monitor_unref(monitor);
    udev_unref(context);
    return std::make_unique<PollingPresenceWatcher>();
}

}  // namespace bw
