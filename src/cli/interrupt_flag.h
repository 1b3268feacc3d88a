#pragma once
// Ctrl-C during `binwright run`: the handler only raises a flag, which the run reads
// between poll ticks, so a write in progress always runs to its end.

#include <atomic>

namespace bw {

class InterruptFlag {
  public:
    InterruptFlag();   // clears the flag and installs the SIGINT handler
    ~InterruptFlag();  // puts the previous handler back
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

    const std::atomic<bool>& raised() const;
};

}  // namespace bw
