#pragma once
// A virtual clock for the simulated line: sleeps and waits move the time on at once, from
// any thread, so handling times and latencies cost nothing in a test.

#include <atomic>
#include <cstdint>

#include "device/operation_host.h"
#include "sim/sim_clock.h"

namespace bw::test {

class VirtualClock : public SimClock {
  public:
    std::int64_t nowUs() override { return now_.load(); }
    void sleepUs(std::int64_t us) override {
        if (us > 0) now_ += us;
    }
    // Moves to the deadline instead of waiting for it; never back.
    void waitUntil(std::condition_variable&, std::unique_lock<std::mutex>&,
                   std::int64_t deadlineUs) override {
        std::int64_t now = now_.load();
        while (now < deadlineUs && !now_.compare_exchange_weak(now, deadlineUs)) {
        }
    }

  private:
    std::atomic<std::int64_t> now_{0};
};

// A host whose waits move the virtual clock: every worker of a gang runner shares it.
class VirtualWaits : public OperationHost {
  public:
    explicit VirtualWaits(VirtualClock& clock) : clock_(clock) {}
    void sleepMs(int ms) override { clock_.sleepUs(std::int64_t{ms} * 1000); }
    void delayUs(int us) override { clock_.sleepUs(us); }

  private:
    VirtualClock& clock_;
};

}  // namespace bw::test
