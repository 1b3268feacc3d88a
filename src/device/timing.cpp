#include "device/timing.h"

#include <chrono>
#include <thread>

#include "device/operation_host.h"

namespace bw {

void DelayMicroseconds(std::int32_t microseconds) {
    const auto start = std::chrono::steady_clock::now();
    if (microseconds <= 0) return;
    const auto end = start + std::chrono::microseconds(microseconds);
    while (std::chrono::steady_clock::now() < end) {
    }
}

void PreciseSleepMs(int ms) {
    PreciseSleepUs(static_cast<std::int64_t>(ms) * 1000);
}

void PreciseSleepUs(std::int64_t us) {
    if (us <= 0) return;
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::microseconds(us);
    // Sleep while more than the usual wake-up overshoot remains, then spin.
    constexpr auto kSpin = std::chrono::microseconds(300);
    while (true) {
        const auto left = end - clock::now();
        if (left <= kSpin) break;
        std::this_thread::sleep_for(left - kSpin);
    }
    while (clock::now() < end) {
    }
}

void OperationHost::sleepMs(int ms) {
    PreciseSleepMs(ms);
}
void OperationHost::delayUs(int us) {
    DelayMicroseconds(us);
}

}  // namespace bw
