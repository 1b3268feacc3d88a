#pragma once
// Builds the production-log line of one finished operation, the same way for the
// window and the command line.

#include <chrono>
#include <cstdint>
#include <optional>

#include "image/image_identity.h"
#include "image/outcome.h"
#include "image/write_params.h"
#include "production/production_log.h"

namespace bw {

// "write", "verify", "save", "read-factory".
const char* OperationName(Operation op);

// The result as the log records it: the operator's text, or what a quiet end means.
std::string LogResultText(Operation op, Outcome outcome, int icIndex);

// The product number a write stored: only a first-IC-type write with the record asked for
// that got past the device test (the record goes out whatever the image write gave).
std::optional<std::int32_t> WrittenProductNumber(Outcome outcome, int icIndex,
                                                 const WriteParams& params,
                                                 const FactoryFields& factory);

struct OperationTiming {
    std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
    std::chrono::steady_clock::time_point clockStart = std::chrono::steady_clock::now();
};

// image: the identity of the image a write or verify used; none for save and read-factory.
LogEntry MakeLogEntry(Operation op, Outcome outcome, int icIndex, std::int32_t vid,
                      std::int32_t pid, std::optional<std::int32_t> productNumber,
                      const OperationTiming& timing,
                      const std::optional<ImageIdentity>& image = std::nullopt);

}  // namespace bw
