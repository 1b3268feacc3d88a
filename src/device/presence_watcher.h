#pragma once
// Waiting for mice to come and go: instead of counting the interfaces every poll
// period, a gang station sleeps until the system says the set of HID interfaces may
// have changed (a udev event on Linux), or until a short period has passed where it
// cannot say.

#include <condition_variable>
#include <mutex>

namespace bw {

class PresenceWatcher {
  public:
    virtual ~PresenceWatcher() = default;

    // Returns true once the set of HID interfaces may have changed since the watcher
    // was made or last returned true (enumerate again), false when timeoutMs passed
    // without a sign of change. May return true without a change.
    virtual bool waitForChange(int timeoutMs) = 0;
    // True when the system tells every arrival and removal, so nothing need be enumerated
    // while waitForChange says nothing changed.
    virtual bool tellsEveryChange() const { return false; }
};

// For systems that call back when an interface comes or goes (Windows' device
// notifications): the callback calls notify(), from any thread; waitForChange sleeps until
// then or the timeout.
class SignalledPresenceWatcher : public PresenceWatcher {
  public:
    void notify();
    bool waitForChange(int timeoutMs) override;
    bool tellsEveryChange() const override { return true; }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool pending_ = false;
};

// For platforms without presence events: sleeps the shorter of the timeout and the
// period, and then says that something may have changed.
class PollingPresenceWatcher : public PresenceWatcher {
  public:
    static constexpr int kDefaultPeriodMs = 100;

    explicit PollingPresenceWatcher(int periodMs = kDefaultPeriodMs) : periodMs_(periodMs) {}
    bool waitForChange(int timeoutMs) override;

  private:
    int periodMs_;
};

}  // namespace bw
