#include "device/report4.h"
#include "device/report40.h"
#include "image/device_match.h"
#include "image/operation_reasons.h"
#include "image/operation_scope.h"
#include "image/operations.h"

namespace bw {

namespace {

Outcome ReadReport4(MouseSession& state, OperationHost& host) {
    const MatchOutcome match = CheckMousePhase(state, host);
    if (match == MatchOutcome::MatchBit2Clear) CloseExchange4(state, host);
    if (match != MatchOutcome::MatchReady) return OutcomeOfMatch(match);

    host.showLoading();
    host.processEvents();
    host.beginPhase("Reading 2048 bytes", kImageSize);
    const bool ok = ReadBlock4(state.link, host, 0, kImageSize, state.DeviceImageBuffer.data(),
                               state.DeviceImageBuffer.size());
    host.endPhase(ok);
    if (!ok && !Aborting(host)) NoteLinkFault(state, false);
    CloseExchange4(state, host);
    return ok ? Outcome::Pass : Aborting(host) ? Outcome::Aborted : Outcome::Fail;
}

Outcome ReadReport40(MouseSession& state, OperationHost& host) {
    host.showLoading();
    host.processEvents();
    host.beginPhase("Reading 2048 bytes", kImageSize);
    const bool ok = ReadBlock40(state.link, host, 0, kImageSize, state.DeviceImageBuffer.data(),
                                state.DeviceImageBuffer.size());
    host.endPhase(ok);
    if (!ok && !Aborting(host)) NoteLinkFault(state, false);
    return ok ? Outcome::Pass : Aborting(host) ? Outcome::Aborted : Outcome::Fail;
}

}  // namespace

Outcome ReadDeviceImage(MouseSession& state, int icIndex, OperationHost& host) {
    OperationScope scope(state.link);
    BeginReasons(state);
    Outcome outcome = Outcome::Skipped;
    if (icIndex == 0) {
        outcome = ReadReport4(state, host);
    } else if (icIndex == 1 || icIndex == 2) {
        outcome = ReadReport40(state, host);
    }
    FinishReason(state, outcome);
    host.hideLoading();
    host.processEvents();
    return outcome;
}

}  // namespace bw
