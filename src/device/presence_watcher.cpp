#include "device/presence_watcher.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/hid_platform.h"

namespace bw {

bool PollingPresenceWatcher::waitForChange(int timeoutMs) {
    const int ms = std::max(0, std::min(timeoutMs, periodMs_));
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    // A timeout shorter than the period ends before the next look is due.
    return timeoutMs >= periodMs_;
}

std::unique_ptr<PresenceWatcher> HidPlatform::watchPresence() {
    return std::make_unique<PollingPresenceWatcher>();
}

}  // namespace bw
