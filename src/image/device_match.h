#pragma once
// The device test every operation of the first IC type runs first.

#include "device/operation_host.h"
#include "image/outcome.h"
#include "production/controller_state.h"

namespace bw {

// Commands 1 and 3; sets StatusBit2 and ChipCode from the status reply.
MatchOutcome CheckDeviceMatch(ControllerState& state, OperationHost& host);

// Closes the device's command exchange: command 8, then command 2, results ignored.
void CloseExchange4(ControllerState& state, OperationHost& host);

}  // namespace bw
