#include "image/device_match.h"

#include <cstdio>
#include <string>

#include "device/hex_text.h"
#include "device/report4.h"
#include "image/ic_types.h"
#include "image/operation_reasons.h"

namespace bw {

namespace {

bool IsKnownChip(std::uint8_t code) {
    return code == 0x35 || code == 0x75 || code == 0xFD;
}

Reason StatusByte(ReasonCode code, int byte, std::uint8_t value, const std::string& what) {
    return MakeReason(code,
                      "status byte " + std::to_string(byte) + " is 0x" + HexText(value, 2) + what,
                      {{"byte", byte}, {"value", value}});
}

}  // namespace

MatchOutcome CheckDeviceMatch(MouseSession& state, OperationHost& host) {
    Link& link = state.link;
    if (!SendCommand4(link, host, 1)) {
        NoteLinkFault(state, false);
        return MatchOutcome::MatchNoAnswer;
    }

    state.StatusBit2 = false;
    state.ChipCode = 0;
    if (!SendCommand4(link, host, 3)) {
        NoteLinkFault(state, false);
        return MatchOutcome::MatchNoAnswer;
    }

    const Report& reply = link.Report4Buffer;
    state.StatusBit2 = (reply[2] & 0x04) != 0;
    if (IsKnownChip(reply[3])) state.ChipCode = reply[3];

    // The order of the tests decides what the operator sees.
    const std::string_view type = kIcTypes[0].rowText;
    if (state.ChipCode == 0) {
        state.LastReason =
            MakeReason(ReasonCode::WrongChip,
                       "chip code 0x" + HexText(reply[3], 2) + " is none of 0x35, 0x75, 0xFD",
                       {{"chip", reply[3]}});
        return MatchOutcome::MatchWrongDevice;
    }
    if (state.ImageType != type) {
        const std::string text =
            state.ImageType.empty()
                ? "no image is loaded"
                : "the image was loaded for " + state.ImageType + ", not " + std::string(type);
        state.LastReason =
            MakeReason(ReasonCode::ImageType, text,
                       {{"loaded", state.ImageType}, {"ic_type", std::string(type)}});
        return MatchOutcome::MatchWrongDevice;
    }
    if (reply[1] != 0xAA) {
        state.LastReason = StatusByte(ReasonCode::BadStatus, 1, reply[1], ", not 0xAA");
        return MatchOutcome::MatchBadStatus;
    }
    if (!state.StatusBit2) {
        state.LastReason =
            StatusByte(ReasonCode::StatusBit2Clear, 2, reply[2], ": bit 2 (0x04) is clear");
        return MatchOutcome::MatchBit2Clear;
    }
    return MatchOutcome::MatchReady;
}

MatchOutcome CheckMousePhase(MouseSession& state, OperationHost& host) {
    host.beginPhase("Checking mouse", 0);
    const MatchOutcome match = CheckDeviceMatch(state, host);
    host.endPhase(match == MatchOutcome::MatchReady);
    return match;
}

void CloseExchange4(MouseSession& state, OperationHost& host) {
    SendCommand4(state.link, host, 8);
    SendCommand4(state.link, host, 2);
}

}  // namespace bw
