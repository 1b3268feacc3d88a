#include <algorithm>

#include "device/report4.h"
#include "device/report40.h"
#include "image/device_match.h"
#include "image/operation_scope.h"
#include "image/operations.h"

namespace bw {

namespace {

// True when byte `offset` belongs to the factory record each mouse carries for itself.
bool InFactoryRecord(int offset) {
    return offset >= FactoryRecordOffset && offset < FactoryRecordOffset + kFactoryRecordSize;
}

Outcome VerifyReport4(ControllerState& state, OperationHost& host) {
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
        for (int offset = 0; offset < kImageSize; ++offset) {
            if (InFactoryRecord(offset)) continue;
            if (state.BlockBuffer[offset] != state.ReadBackBuffer[offset]) {
                state.VerifyMismatch = true;
                break;
            }
        }
        outcome = state.VerifyMismatch ? Outcome::Fail : Outcome::Pass;
    } else if (Aborting(host)) {
        outcome = Outcome::Aborted;
    }
    host.endPhase(outcome == Outcome::Pass);
    CloseExchange4(state, host);
    return outcome;
}

Outcome VerifyReport40(ControllerState& state, OperationHost& host) {
    state.VerifyMismatch = false;
    host.showLoading();
    host.processEvents();
    host.beginPhase("Verifying", kImageSize);
    if (!ReadBlock40(state.link, host, 0, kImageSize, state.DeviceImageBuffer.data(),
                     state.DeviceImageBuffer.size())) {
        host.endPhase(false);
        return Aborting(host) ? Outcome::Aborted : Outcome::Fail;
    }
    state.VerifyMismatch = state.ImageBuffer != state.DeviceImageBuffer;
    host.endPhase(!state.VerifyMismatch);
    return state.VerifyMismatch ? Outcome::Fail : Outcome::Pass;
}

}  // namespace

Outcome VerifyImage(ControllerState& state, int icIndex, OperationHost& host) {
    OperationScope scope(state.link);
    Outcome outcome = Outcome::Skipped;
    if (icIndex == 0) {
        outcome = VerifyReport4(state, host);
    } else if (icIndex == 1 || icIndex == 2) {
        outcome = VerifyReport40(state, host);
    }
    host.hideLoading();
    host.processEvents();
    return outcome;
}

}  // namespace bw
