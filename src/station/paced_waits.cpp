#include "station/paced_waits.h"

#include <thread>

namespace bw::station {

void PacedWaits::waitUs(long long us) {
    if (us <= 0) return;
    const Clock::time_point now = Clock::now();
    const Clock::time_point start = now <= due_ + kChain ? due_ : now;
    due_ = start + std::chrono::microseconds(us);
    std::this_thread::sleep_until(due_);
}

}  // namespace bw::station
