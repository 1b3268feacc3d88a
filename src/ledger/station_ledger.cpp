#include "ledger/station_ledger.h"

#include <filesystem>

#include "binwright_version.h"
#include "image/factory_record.h"
#include "image/ic_types.h"
#include "image/operation_scope.h"
#include "image/operations.h"
#include "ledger/ledger_time.h"
#include "production/polling.h"
#include "production/result_text.h"

namespace bw::ledger {
namespace {

constexpr const char* kVoidNote =
    "void: the write failed after the factory record went out; the mouse may hold the number";

std::string Sentence(const Recovered& r) {
    const std::string number = "product number " + NumberOfType(r.before.reservation);
    switch (r.now) {
        case SerialState::Released:
            return "released " + number + ": reserved when the station stopped, the mouse was" +
                   " not touched";
        case SerialState::Written:
            return "marked " + number + " written: the mouse at hand holds it and verifies";
        default:
            return "voided " + number +
                   ": it was being sent when the station stopped and the mouse at hand does not"
                   " prove it holds it (it is never given again)";
    }
}

}  // namespace

std::string NumberOfType(const Reservation& r) {
    return NumberText(r.number) + " of type " + TypeText(r.productType);
}

StationLedger::StationLedger(std::unique_ptr<Ledger> ledger, std::string station)
    : ledger_(std::move(ledger)), station_(std::move(station)) {}

OperationRecord StationLedger::row(const OperationFacts& f) const {
    OperationRecord r;
    r.started = f.timing.started;
    r.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - f.timing.clockStart)
                       .count();
    r.station = station_;
    r.toolVersion = BINWRIGHT_VERSION;
    r.operation = OperationName(f.op);
    if (const IcType* type = IcTypeAt(f.ic)) r.icType = type->rowText;
    r.vid = f.vid;
    r.pid = f.pid;
    r.devicePath = f.devicePath;
    if (!f.imageFile.empty()) r.imageName = std::filesystem::path(f.imageFile).filename().string();
    if (f.image) r.imageSha256 = f.image->sha256Hex();
    r.factory = f.factory;
    r.productNumber = f.productNumber;
    r.passed = f.outcome == Outcome::Pass;
    r.result = LogResultText(f.op, f.outcome, f.ic);
    // Only an operation that did not pass has a reason; its code is what summaries count.
    if (!r.passed && !f.reason.empty()) r.reason = f.reason.codeName();
    r.caption = f.caption.value_or(ViewOf(f.op, f.outcome, f.ic).text);
    return r;
}

std::vector<std::string> StationLedger::recover(const WrittenProof& proof) {
    std::vector<std::string> lines;
    for (const Recovered& r : ledger_->recover(station_, proof)) lines.push_back(Sentence(r));
    return lines;
}

std::int32_t StationLedger::reserve(std::int32_t productType) {
    sending_ = false;
    current_ = ledger_->reserve(productType, station_);
    return current_->number;
}

void StationLedger::rewrite(std::int32_t productType, std::int32_t number) {
    sending_ = false;
    current_ = ledger_->rewrite(productType, number, station_);
    // The mouse holds the number already: a failure voids it, never releases it.
    sending_ = true;
}

bool StationLedger::recordMayGo(const FactoryFields& fields) {
    if (!current_) return true;  // not a numbered write
    if (fields.type != current_->productType || fields.number != current_->number) {
        problem_ = "the factory record does not carry the reserved product number " +
                   NumberOfType(*current_);
        return false;
    }
    try {
        ledger_->markSending(*current_);
    } catch (const LedgerError& e) {
        problem_ = e.what();
        return false;
    }
    sending_ = true;
    return true;
}

bool StationLedger::finish(const OperationRecord& row) {
    Pending pending;
    pending.row = row;
    if (current_) {
        pending.reservation = current_;
        const bool written = row.passed && row.productNumber == current_->number;
        pending.end = written ? End::Written : sending_ ? End::Void : End::Released;
        // The row names the number only when the mouse may hold it.
        if (pending.end == End::Released) pending.row.productNumber.reset();
        if (pending.end == End::Void) pending.row.productNumber = current_->number;
        current_.reset();
        sending_ = false;
    }
    // Rows keep their order: one held earlier goes first.
    if (!held_.empty() && !flush()) {
        held_.push_back(pending);
        return false;
    }
    return deliver(pending);
}

void StationLedger::apply(const Pending& p) {
    switch (p.end) {
        case End::Record:
            ledger_->record(p.row);
            return;
        case End::Written:
            ledger_->commitWritten(*p.reservation, p.row);
            return;
        case End::Released:
            ledger_->commitReleased(*p.reservation, p.row);
            return;
        case End::Void:
            ledger_->commitVoid(*p.reservation, p.row, kVoidNote);
            return;
    }
}

bool StationLedger::deliver(const Pending& pending) {
    try {
        apply(pending);
        return true;
    } catch (const LedgerError& e) {
        problem_ = e.what();
        if (e.kind() == LedgerErrorKind::Unavailable) {
            held_.push_back(pending);
        } else {
            ++refused_;
        }
        return false;
    }
}

bool StationLedger::flush() {
    while (!held_.empty()) {
        try {
            apply(held_.front());
        } catch (const LedgerError& e) {
            problem_ = e.what();
            if (e.kind() == LedgerErrorKind::Unavailable) return false;
            ++refused_;
        }
        // Recorded, or refused for good (problem() says so): either way no longer held.
        held_.erase(held_.begin());
    }
    return true;
}

std::vector<std::string> StationLedger::heldRows() const {
    std::vector<std::string> lines;
    for (const Pending& p : held_) {
        std::string line =
            p.row.operation + " at " + UtcTimestamp(p.row.started) + ", " + p.row.result;
        if (p.reservation) {
            const char* end = p.end == End::Written    ? "written"
                              : p.end == End::Released ? "to be released"
                                                       : "void";
            line += ", product number " + NumberOfType(*p.reservation) + " " + end;
        }
        lines.push_back(line + ": not recorded in the ledger");
    }
    return lines;
}

WrittenProof MouseAtHandProof(StationLedger& station, MouseSession& state,
                              const OperationFacts& target, OperationHost& host) {
    return [&station, &state, target,
            &host](const SerialRow& sending) -> std::optional<OperationRecord> {
        if (target.ic != 0 || !state.HasImage) return std::nullopt;
        if (!state.link.AnyDeviceOpen() && !OpenTarget(state, target.ic, target.vid, target.pid))
            return std::nullopt;
        OperationFacts proof = target;
        proof.timing = OperationTiming{};
        // One operation for the platform: the simulated line pulls a written mouse out only
        // after both reads.
        OperationScope scope(state.link);
        if (ReadFactoryRecord(state, target.ic, host) != Outcome::Pass) return std::nullopt;
        const FactoryFields held = DecodeFactoryRecord(state.FactoryRecord);
        if (held.type != sending.reservation.productType ||
            held.number != sending.reservation.number) {
            return std::nullopt;
        }
        if (VerifyImage(state, target.ic, host) != Outcome::Pass) return std::nullopt;
        host.hideLoading();
        proof.op = Operation::Write;
        proof.outcome = Outcome::Pass;
        proof.devicePath = state.link.OpenedPath;
        proof.factory = held;
        proof.productNumber = held.number;
        proof.caption = "found written when the station started again";
        return station.row(proof);
    };
}

}  // namespace bw::ledger
