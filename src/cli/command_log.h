#pragma once
// The production log of the command line: one CSV line per device operation, written
// only when --log names a file.

#include <optional>
#include <ostream>
#include <string>

#include "cli/device_options.h"
#include "image/outcome.h"
#include "production/operation_log.h"
#include "production/production_log.h"

namespace bw {

// Checked before the first device command: the file can be appended to. False with a
// message otherwise (a production run without its trace would be lost).
bool LogFileUsable(const std::string& path, std::string* message);

// The line of one finished operation. The product number is filled only when the factory
// record was written (write with --write-id on IC type 0 that reached the image write).
// image: the loaded image of a write or verify. resultText: what was shown, when it differs
// from the outcome's text (a save whose file could not be written).
LogEntry CommandLogEntry(Operation op, Outcome outcome, const DeviceOptions& options,
                         const OperationTiming& timing, const std::optional<ImageIdentity>& image,
                         const std::optional<std::string>& resultText = std::nullopt);

// Appends the line; a log that cannot be written is reported on err, the result stays.
void AppendCommandLog(const ProductionLog& log, const LogEntry& entry, std::ostream& err);

}  // namespace bw
