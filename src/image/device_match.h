#pragma once
// The device test every operation of the first IC type runs first.

#include "device/operation_host.h"
#include "image/mouse_session.h"
#include "image/outcome.h"

namespace bw {

// Commands 1 and 3; sets StatusBit2 and ChipCode from the status reply.
MatchOutcome CheckDeviceMatch(MouseSession& state, OperationHost& host);
// The same as an operation's first phase, "Checking mouse".
MatchOutcome CheckMousePhase(MouseSession& state, OperationHost& host);

// What an operation reports for a device test that did not end in MatchReady.
inline Outcome OutcomeOfMatch(MatchOutcome match) {
    switch (match) {
        case MatchOutcome::MatchNoAnswer:
            return Outcome::NoAnswer;
        case MatchOutcome::MatchBadStatus:
            return Outcome::BadStatus;
        case MatchOutcome::MatchWrongDevice:
        case MatchOutcome::MatchBit2Clear:
            return Outcome::MismatchMouse;
        case MatchOutcome::MatchReady:
            break;
    }
    return Outcome::Pass;
}

// Closes the device's command exchange: command 8, then command 2, results ignored.
void CloseExchange4(MouseSession& state, OperationHost& host);

}  // namespace bw
