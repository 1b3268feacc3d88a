#pragma once
// A host for tests: a virtual clock instead of real waits, and counters of what
// the operation asked of the window.

#include <cstdint>

#include "device/operation_host.h"

namespace bw::test {

class RecordingHost : public OperationHost {
  public:
    void showLoading() override {
        ++showCount;
        loadingVisible = true;
    }
    void hideLoading() override {
        ++hideCount;
        loadingVisible = false;
    }
    void processEvents() override { ++eventPumps; }
    void progress(int done, int total) override {
        lastProgress = done;
        lastTotal = total;
    }
    void sleepMs(int ms) override {
        if (ms > 0) elapsedUs += static_cast<std::int64_t>(ms) * 1000;
        ++sleeps;
    }
    void delayUs(int us) override {
        if (us > 0) elapsedUs += us;
        ++delays;
    }

    std::int64_t elapsedUs = 0;  // virtual time spent waiting
    int sleeps = 0;
    int delays = 0;
    int showCount = 0;
    int hideCount = 0;
    int eventPumps = 0;
    bool loadingVisible = false;
    int lastProgress = 0;
    int lastTotal = 0;
};

}  // namespace bw::test
