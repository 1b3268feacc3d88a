#pragma once
// The image operations, shared by the window and the command line. Each runs
// on the IC type index given (0: report 4, 1 and 2: reports 0x40/0x41, other:
// nothing is done) and returns an outcome; showing it is the caller's business.

#include "device/operation_host.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "image/write_params.h"

namespace bw {

// Writes ImageBuffer (cycles, factory record, read-back, closing commands, pause).
Outcome WriteImage(MouseSession& state, int icIndex, const WriteParams& params,
                   const FactoryFields& factory, OperationHost& host);

// Compares the device memory with ImageBuffer (factory record left out on index 0).
Outcome VerifyImage(MouseSession& state, int icIndex, OperationHost& host);

// Reads the device memory into DeviceImageBuffer. Pass only when every byte arrived.
Outcome ReadDeviceImage(MouseSession& state, int icIndex, OperationHost& host);

}  // namespace bw
