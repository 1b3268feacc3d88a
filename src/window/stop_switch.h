#pragma once
// The host of the gang runner's thread in the window: the stop request the window sets
// when it is closed (a finish, then an abort on a second close), and the waits of the
// work the thread does around the run (the ledger's start, its held rows).

#include <atomic>

#include "device/operation_host.h"

namespace bw::window {

class StopSwitch : public OperationHost {
  public:
    // waits: null, the real clock; else a test's virtual one.
    explicit StopSwitch(OperationHost* waits = nullptr) : waits_(waits) {}

    // Never lowers a request: an abort stays an abort.
    void request(StopRequest wanted) {
        StopRequest now = stop_.load();
        while (static_cast<int>(now) < static_cast<int>(wanted) &&
               !stop_.compare_exchange_weak(now, wanted)) {
        }
    }
    StopRequest stopRequest() override { return stop_.load(); }
    void sleepMs(int ms) override {
        if (waits_ != nullptr) return waits_->sleepMs(ms);
        OperationHost::sleepMs(ms);
    }
    void delayUs(int us) override {
        if (waits_ != nullptr) return waits_->delayUs(us);
        OperationHost::delayUs(us);
    }

  private:
    OperationHost* waits_;
    std::atomic<StopRequest> stop_{StopRequest::None};
};

}  // namespace bw::window
