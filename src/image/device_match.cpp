#include "image/device_match.h"

#include "device/report4.h"
#include "production/ic_types.h"

namespace bw {

namespace {

bool IsKnownChip(std::uint8_t code) {
    return code == 0x35 || code == 0x75 || code == 0xFD;
}

}  // namespace

MatchOutcome CheckDeviceMatch(ControllerState& state, OperationHost& host) {
    Link& link = state.link;
    if (!SendCommand4(link, host, 1)) return MatchOutcome::MatchNoAnswer;

    state.StatusBit2 = false;
    state.ChipCode = 0;
    if (!SendCommand4(link, host, 3)) return MatchOutcome::MatchNoAnswer;

    const Report& reply = link.Report4Buffer;
    state.StatusBit2 = (reply[2] & 0x04) != 0;
    if (IsKnownChip(reply[3])) state.ChipCode = reply[3];

    // The order of the tests decides what the operator sees.
    if (state.ChipCode == 0 || state.LoadedImageType != kIcTypes[0].rowText) {
        return MatchOutcome::MatchWrongDevice;
    }
    if (reply[1] != 0xAA) return MatchOutcome::MatchBadStatus;
    if (!state.StatusBit2) return MatchOutcome::MatchBit2Clear;
    return MatchOutcome::MatchReady;
}

MatchOutcome CheckMousePhase(ControllerState& state, OperationHost& host) {
    host.beginPhase("Checking mouse", 0);
    const MatchOutcome match = CheckDeviceMatch(state, host);
    host.endPhase(match == MatchOutcome::MatchReady);
    return match;
}

void CloseExchange4(ControllerState& state, OperationHost& host) {
    SendCommand4(state.link, host, 8);
    SendCommand4(state.link, host, 2);
}

}  // namespace bw
