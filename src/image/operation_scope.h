#pragma once
// Brackets one device operation: the platform hears of its start and end (a backend may
// raise the timer resolution; the simulated line pulls a written mouse out at the end).

#include "device/link.h"

namespace bw {

class OperationScope {
  public:
    explicit OperationScope(Link& link) : link_(link) { link_.platform().beginOperation(); }
    ~OperationScope() {
        link_.platform().operationEnded(link_.AnyOpenHandle());
        link_.platform().endOperation();
    }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

  private:
    Link& link_;
};

}  // namespace bw
