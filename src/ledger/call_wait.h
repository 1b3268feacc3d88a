#pragma once
// How long one ledger call may wait (for the server's answer, a lock, another station's
// lease): its own bound, cut short by the front end's stop request. A Finish request lets
// a wait go on for kStopGraceMs after it was first seen, so that an answer on its way still
// counts; an Abort ends it at once. Once the grace has passed, a further call of the same
// session that would have to wait gives up at once too: a station that was asked to stop
// while its ledger was silent ends in seconds, not after one bound per call.

#include <chrono>
#include <functional>
#include <optional>

#include "device/operation_host.h"

namespace bw::ledger {

// Asked while a call waits; empty: waits run to their own bound.
using StopCheck = std::function<StopRequest()>;

inline constexpr int kStopGraceMs = 1500;

// A session's stop check and when it first answered with a stop (cleared when it answers
// None again).
struct StopState {
    StopCheck check;
    std::optional<std::chrono::steady_clock::time_point> seen;
};

class CallWait {
  public:
    using Clock = std::chrono::steady_clock;
    CallWait(StopState& stop, std::chrono::milliseconds bound);

    // Milliseconds the call may still wait, at least 1; 0 when it must give up now.
    long long leftMs();
    // The last leftMs() gave 0 because of a stop request (not the call's own bound).
    bool stopped() const { return stopped_; }

  private:
    StopState& stop_;
    Clock::time_point deadline_;
    bool stopped_ = false;
};

}  // namespace bw::ledger
