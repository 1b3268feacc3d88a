#include "production/operation_log.h"

#include "image/ic_types.h"
#include "production/result_text.h"

namespace bw {

const char* OperationName(Operation op) {
    switch (op) {
        case Operation::Write:
            return "write";
        case Operation::Verify:
            return "verify";
        case Operation::Save:
            return "save";
        case Operation::ReadFactory:
            return "read-factory";
    }
    return "";
}

std::string LogResultText(Operation op, Outcome outcome, int icIndex) {
    const ResultView view = ViewOf(op, outcome, icIndex);
    if (!view.text.empty()) return view.text;
    switch (outcome) {
        case Outcome::NoAnswer:
            return "No answer";
        case Outcome::BadStatus:
            return "Bad status";
        case Outcome::Skipped:
            return "Skipped";
        case Outcome::Aborted:
            return "Aborted";
        default:
            return "";
    }
}

std::optional<std::int32_t> WrittenProductNumber(const MouseSession& state,
                                                 const FactoryFields& factory) {
    if (!state.FactoryRecordSent) return std::nullopt;
    return factory.number;
}

LogEntry MakeLogEntry(Operation op, Outcome outcome, int icIndex, std::int32_t vid,
                      std::int32_t pid, std::optional<std::int32_t> productNumber,
                      const OperationTiming& timing, const std::optional<ImageIdentity>& image,
                      const Reason& reason) {
    LogEntry entry;
    entry.when = timing.started;
    if (const IcType* row = IcTypeAt(icIndex)) entry.icType = std::string(row->rowText);
    entry.vid = vid;
    entry.pid = pid;
    entry.operation = OperationName(op);
    entry.productNumber = productNumber;
    entry.result = LogResultText(op, outcome, icIndex);
    if (image) entry.imageSha256 = image->sha256Hex();
    entry.reason = reason.codeName();
    entry.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - timing.clockStart)
                           .count();
    return entry;
}

}  // namespace bw
