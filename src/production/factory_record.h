#pragma once
// The 12-byte factory record at device address 160, big-endian.

#include "device/operation_host.h"
#include "image/image_buffers.h"
#include "image/outcome.h"
#include "image/write_params.h"
#include "production/controller_state.h"

namespace bw {

FactoryRecordBytes BuildFactoryRecord(const FactoryFields& fields);
// Values as the window shows them after a read-back (SetValue of each field; -1 row when
// the byte is past the list).
FactoryFields DecodeFactoryRecord(const FactoryRecordBytes& record);

// Builds FactoryRecord from the fields and writes it with up to `retries` attempts.
bool WriteFactoryRecord(ControllerState& state, const FactoryFields& fields, int retries,
                        OperationHost& host);

// Reads the record into state.FactoryRecord (index 0 only). Pass only when all 12 bytes arrived.
Outcome ReadFactoryRecord(ControllerState& state, int icIndex, OperationHost& host);

}  // namespace bw
