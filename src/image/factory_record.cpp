#include "image/factory_record.h"

#include <cstdio>

#include "device/report4.h"
#include "image/device_match.h"
#include "image/ic_types.h"
#include "image/operation_reasons.h"
#include "image/operation_scope.h"

namespace bw {

namespace {

constexpr int kFactoryRows = 8;  // "1" to "8"
constexpr int kLineRows = 26;    // "A" to "Z"
constexpr int kStationRows = 8;  // "1" to "8"

std::uint8_t Byte(std::uint32_t value, int shift) {
    return static_cast<std::uint8_t>((value >> shift) & 0xFF);
}

// A list row as read back: a byte past the list selects nothing.
int RowOf(std::uint8_t value, int rows) {
    return value < rows ? value : -1;
}

}  // namespace

FactoryRecordBytes BuildFactoryRecord(const FactoryFields& fields) {
    const auto type = static_cast<std::uint32_t>(fields.type);
    const auto date = static_cast<std::uint32_t>(fields.date);
    const auto number = static_cast<std::uint32_t>(fields.number);
    return {
        Byte(type, 8),
        Byte(type, 0),
        Byte(date, 24),
        Byte(date, 16),
        Byte(date, 8),
        Byte(date, 0),
        Byte(number, 16),
        Byte(number, 8),
        Byte(number, 0),
        // Row indices, low 8 bits: no selection (-1) gives 0xFF.
        Byte(static_cast<std::uint32_t>(fields.factory), 0),
        Byte(static_cast<std::uint32_t>(fields.line), 0),
        Byte(static_cast<std::uint32_t>(fields.station), 0),
    };
}

FactoryFields DecodeFactoryRecord(const FactoryRecordBytes& r) {
    FactoryFields fields;
    fields.type = r[0] * 256 + r[1];
    const std::uint32_t date = (std::uint32_t{r[2]} << 24) | (std::uint32_t{r[3]} << 16) |
                               (std::uint32_t{r[4]} << 8) | r[5];
    fields.date = static_cast<std::int32_t>(date);  // shown empty when negative
    fields.number = r[6] * 65536 + r[7] * 256 + r[8];
    fields.factory = RowOf(r[9], kFactoryRows);
    fields.line = RowOf(r[10], kLineRows);
    fields.station = RowOf(r[11], kStationRows);
    return fields;
}

std::string ProductNumberProblem(int icIndex, const WriteParams& params,
                                 const FactoryFields& fields) {
    if (icIndex != 0 || !params.writeId) return {};
    if (fields.number >= 0 && fields.number <= kMaxProductNumber) return {};
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(fields.number));
    return std::string("product number ") + digits +
           " does not fit the factory record (6 hex digits)";
}

bool WriteFactoryRecord(MouseSession& state, const FactoryFields& fields, int retries,
                        OperationHost& host) {
    state.FactoryRecord = BuildFactoryRecord(fields);
    host.beginPhase("Writing factory record", kFactoryRecordSize);
    bool ok = false;
    int attempts = 0;
    for (int attempt = 0; attempt < retries && !ok; ++attempt) {
        if (attempt > 0 && StopCutsAttempts(state, host)) break;
        host.startAttempt();
        ++attempts;
        ok = WriteBlock4(state.link, host, FactoryRecordOffset, kFactoryRecordSize,
                         state.FactoryRecord.data());
    }
    if (ok) state.FactoryRecordSent = true;
    if (!ok && attempts > 0) {
        NoteLinkFault(state, true, attempts);
        state.LastReason.text = "factory record: " + state.LastReason.text;
    }
    host.endPhase(ok);
    return ok;
}

Outcome ReadFactoryRecord(MouseSession& state, int icIndex, OperationHost& host) {
    OperationScope scope(state.link);
    BeginReasons(state);
    host.showLoading();
    host.processEvents();

    // Only the first IC type can read the record back; the others answer with failure.
    Outcome outcome = (icIndex == 1 || icIndex == 2) ? Outcome::Fail : Outcome::Skipped;
    if (outcome == Outcome::Fail) {
        state.LastReason =
            MakeReason(ReasonCode::NotSupported,
                       std::string(IcTypeAt(icIndex)->rowText) + " has no factory record");
    }
    if (icIndex == 0) {
        const MatchOutcome match = CheckMousePhase(state, host);
        if (match == MatchOutcome::MatchReady) {
            // Read into a scratch record: a read that lost bytes leaves the fields alone.
            FactoryRecordBytes record{};
            host.beginPhase("Reading factory record", kFactoryRecordSize);
            const bool ok = ReadBlock4(state.link, host, FactoryRecordOffset, kFactoryRecordSize,
                                       record.data(), record.size());
            host.endPhase(ok);
            if (ok) state.FactoryRecord = record;
            if (!ok && !Aborting(host)) NoteLinkFault(state, false);
            outcome = ok ? Outcome::Pass : Aborting(host) ? Outcome::Aborted : Outcome::Fail;
        } else {
            outcome = OutcomeOfMatch(match);
        }
        CloseExchange4(state, host);
    }
    FinishReason(state, outcome);

    host.hideLoading();
    host.processEvents();
    return outcome;
}

}  // namespace bw
