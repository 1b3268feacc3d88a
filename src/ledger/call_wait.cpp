#include "ledger/call_wait.h"

#include <algorithm>

namespace bw::ledger {

CallWait::CallWait(StopState& stop, std::chrono::milliseconds bound)
    : stop_(stop), deadline_(Clock::now() + bound) {}

long long CallWait::leftMs() {
    const Clock::time_point now = Clock::now();
    const StopRequest asked = stop_.check ? stop_.check() : StopRequest::None;
    if (asked == StopRequest::None) {
        stop_.seen.reset();
    } else if (!stop_.seen) {
        stop_.seen = now;
    }
    Clock::time_point end = deadline_;
    if (asked == StopRequest::Abort) end = now;
    if (asked == StopRequest::Finish)
        end = std::min(end, *stop_.seen + std::chrono::milliseconds(kStopGraceMs));
    if (now >= end) {
        stopped_ = asked == StopRequest::Abort || (asked == StopRequest::Finish && end < deadline_);
        return 0;
    }
    stopped_ = false;
    return std::max<long long>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count());
}

}  // namespace bw::ledger
