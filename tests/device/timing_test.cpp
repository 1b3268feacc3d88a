#include "device/timing.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(DelayMicroseconds, NonPositiveReturnsAtOnceAndPositiveWaitsAtLeastThatLong) {
    using clock = std::chrono::steady_clock;
    bw::DelayMicroseconds(0);
    bw::DelayMicroseconds(-5);
    const auto start = clock::now();
    bw::DelayMicroseconds(500);
    EXPECT_GE(clock::now() - start, std::chrono::microseconds(500));
}

}  // namespace
