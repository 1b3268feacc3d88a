#pragma once
// The production log of a command (and of the gang station, in both front ends): one CSV
// line per device operation, written only when --log names a file; the windows check the
// file here too.

#include <optional>
#include <ostream>
#include <string>

#include "frontend/device_options.h"
#include "image/outcome.h"
#include "production/operation_log.h"
#include "production/production_log.h"

namespace bw {

// Checked before the first device command: the file is a production log (or new) and can
// take a line now (ProductionLog::prepare). False with a message otherwise (a production
// run without its trace would be lost).
bool LogFileUsable(const std::string& path, std::string* message);

// The line of one finished operation. productNumber: the number the factory record
// received (WrittenProductNumber), none when no record was sent. image: the loaded image of
// a write or verify. resultText: what was shown, when it differs from the outcome's text (a
// save whose file could not be written). reason: why it did not pass.
LogEntry CommandLogEntry(Operation op, Outcome outcome, const DeviceOptions& options,
                         const OperationTiming& timing, std::optional<std::int32_t> productNumber,
                         const std::optional<ImageIdentity>& image,
                         const std::optional<std::string>& resultText = std::nullopt,
                         const Reason& reason = {});

// Appends the line. False, with the reason on err, when the log cannot be written: the
// operation ran, but the command must say that it was not logged (exit code 6).
bool AppendCommandLog(const ProductionLog& log, const LogEntry& entry, std::ostream& err);

}  // namespace bw
