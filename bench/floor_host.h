#pragma once
// A host for the benchmarks: waits for real, precisely, and adds up what was asked for.
// The benchmarks check the sum against the pauses the protocol prescribes (prescribed_cost.h)
// before they take those as the pause part of the floor.

#include <chrono>

#include "device/operation_host.h"

namespace bw::bench {

class FloorHost : public NullHost {
  public:
    void sleepMs(int ms) override {
        if (ms > 0) askedUs += static_cast<double>(ms) * 1000.0;
        const auto start = Clock::now();
        NullHost::sleepMs(ms);
        waitedUs += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    }
    void delayUs(int us) override {
        if (us > 0) askedUs += us;
        const auto start = Clock::now();
        NullHost::delayUs(us);
        waitedUs += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    }
    void reset() { askedUs = waitedUs = 0; }

    using Clock = std::chrono::steady_clock;
    double askedUs = 0;
    double waitedUs = 0;  // time really spent in the waits
};

}  // namespace bw::bench
