#include "cli/command_log.h"

#include <filesystem>
#include <fstream>

namespace bw {

bool LogFileUsable(const std::string& path, std::string* message) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        *message = "--log: \"" + path + "\" is a folder";
        return false;
    }
    std::ofstream probe(path, std::ios::app | std::ios::binary);
    if (!probe) {
        *message = "--log: \"" + path + "\" cannot be written";
        return false;
    }
    return true;
}

LogEntry CommandLogEntry(Operation op, Outcome outcome, const DeviceOptions& options,
                         const OperationTiming& timing, const std::optional<ImageIdentity>& image,
                         const std::optional<std::string>& resultText) {
    const std::optional<std::int32_t> number =
        op == Operation::Write
            ? WrittenProductNumber(outcome, options.ic, options.params, options.factory)
            : std::nullopt;
    LogEntry entry =
        MakeLogEntry(op, outcome, options.ic, options.vid, options.pid, number, timing, image);
    if (resultText) entry.result = *resultText;
    return entry;
}

void AppendCommandLog(const ProductionLog& log, const LogEntry& entry, std::ostream& err) {
    if (!log.append(entry)) err << "binwright: the log file cannot be written\n";
}

}  // namespace bw
