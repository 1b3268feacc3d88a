#pragma once
// The simulated line's clock: the time a transfer takes, the handling time between two
// mice of a port and the presence watcher's waits run on it. Real time by default; tests
// give a virtual clock whose waits return at once.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace bw {

class SimClock {
  public:
    virtual ~SimClock() = default;
    virtual std::int64_t nowUs() = 0;
    // The calling thread spends `us` microseconds.
    virtual void sleepUs(std::int64_t us) = 0;
    // Waits on `wake` (its lock held) until notified or until the clock reads deadlineUs.
    // May return early; the caller looks again.
    virtual void waitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           std::int64_t deadlineUs) = 0;
};

// The steady clock; sleeps precisely (most of the time asleep, the rest spinning).
class RealSimClock : public SimClock {
  public:
    std::int64_t nowUs() override;
    void sleepUs(std::int64_t us) override;
    void waitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   std::int64_t deadlineUs) override;
};

}  // namespace bw
