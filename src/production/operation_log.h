#pragma once
// Builds the production-log line of one finished operation, the same way for the
// window and the command line.

#include <chrono>
#include <cstdint>
#include <optional>

#include "image/image_identity.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "image/write_params.h"
#include "production/production_log.h"

namespace bw {

// "write", "verify", "save", "read-factory".
const char* OperationName(Operation op);

// The result as the log records it: the operator's text, or what a quiet end means.
std::string LogResultText(Operation op, Outcome outcome, int icIndex);

// The product number the last write stored: only when WriteFactoryRecord sent the record
// in full (the record goes out whatever the image write gave, but not with no attempts).
std::optional<std::int32_t> WrittenProductNumber(const MouseSession& state,
                                                 const FactoryFields& factory);

struct OperationTiming {
    std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
    std::chrono::steady_clock::time_point clockStart = std::chrono::steady_clock::now();
};

// image: the identity of the image a write or verify used; none for save and read-factory.
// reason: why it did not pass (its code goes into the line).
LogEntry MakeLogEntry(Operation op, Outcome outcome, int icIndex, std::int32_t vid,
                      std::int32_t pid, std::optional<std::int32_t> productNumber,
                      const OperationTiming& timing,
                      const std::optional<ImageIdentity>& image = std::nullopt,
                      const Reason& reason = {});

}  // namespace bw
