#include "frontend/command_log.h"

namespace bw {

bool LogFileUsable(const std::string& path, std::string* message) {
    // A FIFO would block the first line for ever, a device would swallow it, a full disk
    // would let mice be written that no line traces.
    if (const std::string problem = ProductionLog(path).prepare(); !problem.empty()) {
        *message = "--log: \"" + path + "\" " + problem;
        return false;
    }
    return true;
}

LogEntry CommandLogEntry(Operation op, Outcome outcome, const DeviceOptions& options,
                         const OperationTiming& timing, std::optional<std::int32_t> productNumber,
                         const std::optional<ImageIdentity>& image,
                         const std::optional<std::string>& resultText, const Reason& reason) {
    LogEntry entry = MakeLogEntry(op, outcome, options.ic, options.vid, options.pid, productNumber,
                                  timing, image, reason);
    if (resultText) entry.result = *resultText;
    return entry;
}

bool AppendCommandLog(const ProductionLog& log, const LogEntry& entry, std::ostream& err) {
    std::string reason;
    if (log.append(entry, &reason)) return true;
    err << "binwright: done, but not logged: " << reason << "\n";
    return false;
}

}  // namespace bw
