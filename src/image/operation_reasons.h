#pragma once
// The bookkeeping every shared operation does for its reason: cleared at the start,
// completed at the end from the outcome and any stop request.

#include "device/operation_host.h"
#include "image/mouse_session.h"
#include "image/outcome.h"

namespace bw {

// Clears the last operation's reason, attempt count and link record.
void BeginReasons(MouseSession& state);

// After the operation: a pass has no reason; an abort or a failure that a stop request
// cut short is `interrupted`, the fault seen last kept as its cause.
void FinishReason(MouseSession& state, Outcome outcome);

// StopAsked, noting that a further attempt or retry will not start because of it.
inline bool StopCutsAttempts(MouseSession& state, OperationHost& host) {
    if (!StopAsked(host)) return false;
    state.StopCutAttempts = true;
    return true;
}

// The reason of a transfer step that failed, from what the link recorded.
inline void NoteLinkFault(MouseSession& state, bool write, int attempts = 0) {
    state.LastReason = ReasonOfLinkFault(state.link.Record, write, attempts);
}

}  // namespace bw
