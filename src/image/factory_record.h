#pragma once
// The 12-byte factory record at device address 160, big-endian.

#include <string>

#include "device/operation_host.h"
#include "image/image_buffers.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "image/write_params.h"

namespace bw {

FactoryRecordBytes BuildFactoryRecord(const FactoryFields& fields);
// Values as the window shows them after a read-back (SetValue of each field; -1 row when
// the byte is past the list).
FactoryFields DecodeFactoryRecord(const FactoryRecordBytes& record);

// The record keeps 24 bits of the product number.
inline constexpr std::int32_t kMaxProductNumber = 0xFFFFFF;

// Empty when a write may go ahead; otherwise why it must not touch the mouse: the record is
// to be written (first IC type, writeId) and the number does not fit it, e.g. "product
// number 1000000 does not fit the factory record (6 hex digits)".
std::string ProductNumberProblem(int icIndex, const WriteParams& params,
                                 const FactoryFields& fields);

// Builds FactoryRecord from the fields and writes it with up to `retries` attempts (no
// further one after a stop request). Sets FactoryRecordSent when the record arrived whole.
bool WriteFactoryRecord(MouseSession& state, const FactoryFields& fields, int retries,
                        OperationHost& host);

// Reads the record into state.FactoryRecord (index 0 only). Pass only when all 12 bytes arrived.
Outcome ReadFactoryRecord(MouseSession& state, int icIndex, OperationHost& host);

}  // namespace bw
