#include "image/operation_reasons.h"

namespace bw {

void BeginReasons(MouseSession& state) {
    state.LastReason = {};
    state.WriteAttempts = 0;
    state.StopCutAttempts = false;
    state.link.Record = {};
}

void FinishReason(MouseSession& state, Outcome outcome) {
    switch (outcome) {
        case Outcome::Pass:
            state.LastReason = {};
            return;
        case Outcome::Aborted:
            state.LastReason = InterruptedReason(true, state.WriteAttempts, state.LastReason);
            return;
        case Outcome::Fail:
            if (state.StopCutAttempts) {
                state.LastReason = InterruptedReason(false, state.WriteAttempts, state.LastReason);
            }
            break;
        case Outcome::Skipped:
            state.LastReason = MakeReason(ReasonCode::NoIcType, "no IC type is selected");
            return;
        default:
            break;
    }
    // Every failure path names its reason; this is the net under a path that did not.
    if (state.LastReason.empty()) NoteLinkFault(state, false);
}

}  // namespace bw
