#include "sim/sim_clock.h"

#include <chrono>

#include "device/timing.h"

namespace bw {

std::int64_t RealSimClock::nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RealSimClock::sleepUs(std::int64_t us) {
    PreciseSleepUs(us);
}

void RealSimClock::waitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                             std::int64_t deadlineUs) {
    const std::chrono::steady_clock::time_point deadline{std::chrono::microseconds(deadlineUs)};
    wake.wait_until(lock, deadline);
}

}  // namespace bw
