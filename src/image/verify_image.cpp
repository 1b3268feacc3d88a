#include <algorithm>

#include "device/report4.h"
#include "device/report40.h"
#include "image/device_match.h"
#include "image/operation_reasons.h"
#include "image/operation_scope.h"
#include "image/operations.h"

namespace bw {

namespace {

Outcome VerifyReport4(MouseSession& state, OperationHost& host) {
    state.VerifyMismatch = false;
    const MatchOutcome match = CheckMousePhase(state, host);
    if (match == MatchOutcome::MatchBit2Clear) CloseExchange4(state, host);
    if (match != MatchOutcome::MatchReady) return OutcomeOfMatch(match);

    host.showLoading();
    host.processEvents();
    state.BlockBuffer = state.ImageBuffer;
    host.beginPhase("Verifying", kImageSize);

    // All eight blocks are read even after a refused one.
    bool readFailed = Aborting(host);
    for (int k = 0; k < kBlockCount && !Aborting(host); ++k) {
        if (!ReadBlock4(state.link, host, k * kBlockSize, kBlockSize,
                        state.ReadBackBuffer.data() + k * kBlockSize, kBlockSize)) {
            readFailed = true;
        }
    }

    Outcome outcome = Outcome::Fail;
    if (!readFailed) {
        // The factory record each mouse carries for itself is left out.
        state.LastReason = MismatchReason(state.BlockBuffer.data(), state.ReadBackBuffer.data(), 0,
                                          kImageSize, true, "expected");
        state.VerifyMismatch = !state.LastReason.empty();
        outcome = state.VerifyMismatch ? Outcome::Fail : Outcome::Pass;
    } else if (Aborting(host)) {
        outcome = Outcome::Aborted;
    } else {
        NoteLinkFault(state, false);
    }
    host.endPhase(outcome == Outcome::Pass);
    CloseExchange4(state, host);
    return outcome;
}

Outcome VerifyReport40(MouseSession& state, OperationHost& host) {
    state.VerifyMismatch = false;
    host.showLoading();
    host.processEvents();
    host.beginPhase("Verifying", kImageSize);
    if (!ReadBlock40(state.link, host, 0, kImageSize, state.DeviceImageBuffer.data(),
                     state.DeviceImageBuffer.size())) {
        host.endPhase(false);
        if (Aborting(host)) return Outcome::Aborted;
        NoteLinkFault(state, false);
        return Outcome::Fail;
    }
    state.LastReason = MismatchReason(state.ImageBuffer.data(), state.DeviceImageBuffer.data(), 0,
                                      kImageSize, false, "expected");
    state.VerifyMismatch = !state.LastReason.empty();
    host.endPhase(!state.VerifyMismatch);
    return state.VerifyMismatch ? Outcome::Fail : Outcome::Pass;
}

}  // namespace

Outcome VerifyImage(MouseSession& state, int icIndex, OperationHost& host) {
    OperationScope scope(state.link);
    BeginReasons(state);
    Outcome outcome = Outcome::Skipped;
    if (icIndex == 0) {
        outcome = VerifyReport4(state, host);
    } else if (icIndex == 1 || icIndex == 2) {
        outcome = VerifyReport40(state, host);
    }
    FinishReason(state, outcome);
    host.hideLoading();
    host.processEvents();
    return outcome;
}

}  // namespace bw
