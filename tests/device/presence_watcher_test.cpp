// The watcher that the system's device notifications wake (Windows): a change told before
// the wait is kept, one told during it ends the wait, and none ends it at the timeout.
#include "device/presence_watcher.h"

#include <gtest/gtest.h>

#include <thread>

namespace bw {
namespace {

TEST(ThreadedPresenceWatcher, WakesOnNotificationsAndKeepsNoneTwice) {
    SignalledPresenceWatcher watcher;
    EXPECT_FALSE(watcher.waitForChange(0));  // nothing told yet
    watcher.notify();
    watcher.notify();
    EXPECT_TRUE(watcher.waitForChange(0));   // told before the wait
    EXPECT_FALSE(watcher.waitForChange(1));  // two notifications are one change
    // Told from the system's thread while the station waits: the wait ends then, long
    // before its timeout (a timeout would return false).
    std::thread system([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        watcher.notify();
    });
    EXPECT_TRUE(watcher.waitForChange(60000));
    system.join();
}

}  // namespace
}  // namespace bw
