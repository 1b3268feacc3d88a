#pragma once
// The steps of an image write, exposed for the tests; WriteImage (image/operations.h)
// runs them in order.

#include <string>

#include "device/operation_host.h"
#include "image/mouse_session.h"
#include "image/write_params.h"

namespace bw {

// What WriteImage refuses before touching the mouse: a block count N outside 1..8, no retry
// (no attempt would be made), or a product number the factory record cannot hold when the
// record is to be written. Empty when the write may go ahead; otherwise why not.
std::string WriteParamsProblem(int icIndex, const WriteParams& params,
                               const FactoryFields& factory);
bool WriteParamsUsable(int icIndex, const WriteParams& params, const FactoryFields& factory);

// First IC type: up to total x retries attempts; true at the first attempt that succeeds.
// After a stop request (OperationHost::stopRequest) no further attempt or retry starts.
bool WriteImageCycles(MouseSession& state, const WriteParams& params, OperationHost& host);
// One cycle of up to `retries` attempts, report-4 and report-0x40 protocol.
bool WriteImageCycle4(MouseSession& state, const WriteParams& params, OperationHost& host);
bool WriteImageCycle40(MouseSession& state, const WriteParams& params, OperationHost& host);
// Device test, then the first `blocks` blocks read back and compared with ImageBuffer
// (which first takes FactoryRecord at offset 160 when writeId is set); closes the exchange.
bool ReadBackCheck(MouseSession& state, const WriteParams& params, OperationHost& host);

}  // namespace bw
