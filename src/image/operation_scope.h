#pragma once
// Brackets one device operation: the platform hears of its start and end (a backend may
// raise the timer resolution; the simulated line pulls a written mouse out at the end).

#include "device/hid_platform.h"

namespace bw {

class OperationScope {
  public:
    explicit OperationScope(HidPlatform& platform) : platform_(platform) {
        platform_.beginOperation();
    }
    ~OperationScope() { platform_.endOperation(); }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

  private:
    HidPlatform& platform_;
};

}  // namespace bw
