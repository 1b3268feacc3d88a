#pragma once
// The waits of one gang worker on the real clock. The single-mouse host spins the last
// 300 us of every pause (and all of a microsecond delay) to be precise; eight workers doing
// that on two cores take the processor from each other and the pauses stretch. Here a
// thread only sleeps: each wait ends at a deadline, and a wait that follows straight on
// from the one before starts at that one's deadline, so the many 1 ms steps of a pause add
// up to their nominal sum however late each wake-up is.

#include <chrono>

#include "device/operation_host.h"

namespace bw::station {

class PacedWaits : public OperationHost {
  public:
    void sleepMs(int ms) override { waitUs(static_cast<long long>(ms) * 1000); }
    void delayUs(int us) override { waitUs(us); }

  private:
    using Clock = std::chrono::steady_clock;
    // A wait that starts later than this after the last deadline follows other work (a
    // transfer) and is timed from now.
    static constexpr std::chrono::microseconds kChain{500};

    void waitUs(long long us);

    Clock::time_point due_{};
};

}  // namespace bw::station
