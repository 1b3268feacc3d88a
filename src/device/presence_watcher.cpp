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

void SignalledPresenceWatcher::notify() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        pending_ = true;
    }
    changed_.notify_all();
}

bool SignalledPresenceWatcher::waitForChange(int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, std::chrono::milliseconds(std::max(0, timeoutMs)),
                      [this] { return pending_; });
    const bool changed = pending_;
    pending_ = false;
    return changed;
}

std::unique_ptr<PresenceWatcher> HidPlatform::watchPresence() {
    return std::make_unique<PollingPresenceWatcher>();
}

}  // namespace bw
