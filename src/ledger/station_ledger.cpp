#include "ledger/station_ledger.h"

#include <filesystem>

#include "binwright_version.h"
#include "image/factory_record.h"
#include "image/ic_types.h"
#include "image/operation_scope.h"
#include "image/operations.h"
#include "ledger/ledger_time.h"
#include "os/utf8_path.h"
#include "production/polling.h"
#include "production/result_text.h"

namespace bw::ledger {
namespace {

constexpr const char* kVoidNote =
    "void: the write failed after the factory record went out; the mouse may hold the number";
constexpr const char* kCutVoidNote =
    "void: the write ended while the factory record was being sent (stopped or failed); the"
    " mouse may hold part of it";

// "when the station's last run (host pc7, process 1234, since ...) stopped"
std::string WhenStopped(const std::optional<StationHolder>& last) {
    if (!last) return "when the station stopped";
    return "when the station's last run (" + HolderText(*last) + ") stopped";
}

std::string Sentence(const Recovered& r, const std::optional<StationHolder>& last) {
    const std::string number = "product number " + NumberOfType(r.before.reservation);
    if (r.kept) {
        return "left " + number + " " + SerialStateName(r.now) +
               ": the station's spool holds its row, which the ledger could not take yet";
    }
    switch (r.now) {
        case SerialState::Released:
            return "released " + number + ": reserved " + WhenStopped(last) +
                   ", the mouse was not touched";
        case SerialState::Written:
            return "marked " + number + " written: the mouse at hand holds it and verifies";
        default:
            return "voided " + number + ": it was being sent " + WhenStopped(last) +
                   " and the mouse at hand does not prove it holds it (it is never given again)";
    }
}

// "write at 2026-05-27T12:02:07.123+00:00, Write Pass, product number 00002A of type 0005
// written"
std::string Describe(const HeldRow& p) {
    std::string line = p.row.operation + " at " + UtcTimestamp(p.row.started) + ", " + p.row.result;
    if (p.reservation) {
        const char* end = p.end == RowEnd::Written    ? "written"
                          : p.end == RowEnd::Released ? "to be released"
                                                      : "void";
        line += ", product number " + NumberOfType(*p.reservation) + " " + end;
    }
    return line;
}

}  // namespace

std::string NumberOfType(const Reservation& r) {
    return NumberText(r.number) + " of type " + TypeText(r.productType);
}

StationLedger::StationLedger(std::unique_ptr<Ledger> ledger, std::string station)
    : ledger_(std::move(ledger)), station_(std::move(station)) {}

StationLedger::~StationLedger() = default;

void StationLedger::holdStation(LedgerOpener opener,
                                std::optional<std::filesystem::path> dataFolder, LeaseTerms terms) {
    opener_ = std::move(opener);
    dataFolder_ = std::move(dataFolder);
    terms_ = terms;
}

std::string StationLedger::leaseLost() const {
    return lease_ ? lease_->lost() : std::string();
}

void StationLedger::joinStation(const StationLedger& first) {
    lease_ = first.lease_;
    spool_ = first.spool_;
    started_ = true;
}

void StationLedger::setStopCheck(StopCheck stop) {
    stop_ = stop;
    ledger_->setStopCheck(std::move(stop));
}

std::optional<std::filesystem::path> StationLedger::spoolFolder() const {
    if (!spool_) return std::nullopt;
    return spool_->folder();
}

std::vector<std::string> StationLedger::start(const StationLease::Say& say) {
    std::vector<std::string> lines;
    if (started_) return lines;
    if (opener_ && !lease_) {
        lease_ = std::make_shared<StationLease>(opener_(stop_), station_, stop_, say, terms_);
    }
    if (dataFolder_ && !spool_) {
        spool_ = std::make_shared<RowSpool>(
            RowSpool::FolderFor(*dataFolder_, ledger_->identity(), station_));
    }
    started_ = true;
    if (!spool_) return lines;
    // What the spool kept goes first, in its order; what the ledger cannot take now stays.
    std::vector<std::string> unreadable;
    for (auto& [name, held] : spool_->rows(&unreadable)) {
        if (!held_.empty()) {
            held_.push_back({held, name});
            continue;
        }
        std::string refusal;
        try {
            apply(held);
        } catch (const LedgerError& e) {
            problem_ = e.what();
            if (e.kind() == LedgerErrorKind::Unavailable) {
                held_.push_back({held, name});
                continue;
            }
            refusal = e.what();
        }
        spool_->remove(name);
        lines.push_back(refusal.empty() ? "recorded the row the spool kept (" + Describe(held) + ")"
                                        : "the row the spool kept (" + Describe(held) +
                                              ") could not end its number: " + refusal);
    }
    for (const std::string& file : unreadable) {
        lines.push_back("a file of the spool " + Utf8FromPath(spool_->folder()) +
                        " cannot be read and is left there: " + file);
    }
    if (!held_.empty()) {
        lines.push_back(std::to_string(held_.size()) +
                        " rows of the spool wait for the ledger: " + problem_);
    }
    return lines;
}

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
    if (!f.imageFile.empty()) r.imageName = Utf8FromPath(PathFromUtf8(f.imageFile).filename());
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

std::vector<std::string> StationLedger::recover(const WrittenProof& proof,
                                                const StationLease::Say& say) {
    std::vector<std::string> lines = start(say);
    RecoveryRules rules;
    if (lease_) rules.leaseToken = lease_->token();
    // A number whose end the spool still holds is settled by that row, never by a guess.
    rules.keep = [this](const SerialRow& row) {
        for (const Pending& p : held_) {
            const auto& r = p.held.reservation;
            if (r && r->productType == row.reservation.productType &&
                r->number == row.reservation.number && r->lease == row.reservation.lease) {
                return true;
            }
        }
        return false;
    };
    const std::optional<StationHolder> last = lease_ ? lease_->previous() : std::nullopt;
    for (const Recovered& r : ledger_->recover(station_, proof, rules))
        lines.push_back(Sentence(r, last));
    return lines;
}

std::int32_t StationLedger::reserve(std::int32_t productType) {
    if (const std::string lost = leaseLost(); !lost.empty()) {
        throw LedgerError(LedgerErrorKind::Refused, lost);
    }
    sending_ = false;
    current_ = ledger_->reserve(productType, station_);
    return current_->number;
}

void StationLedger::rewrite(std::int32_t productType, std::int32_t number) {
    if (const std::string lost = leaseLost(); !lost.empty()) {
        throw LedgerError(LedgerErrorKind::Refused, lost);
    }
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

bool StationLedger::finish(const OperationRecord& row, bool recordArrived) {
    HeldRow pending;
    pending.row = row;
    if (current_) {
        pending.reservation = current_;
        const bool written = row.passed && row.productNumber == current_->number;
        pending.end = written ? RowEnd::Written : sending_ ? RowEnd::Void : RowEnd::Released;
        // The row names the number only when the mouse may hold it.
        if (pending.end == RowEnd::Released) pending.row.productNumber.reset();
        if (pending.end == RowEnd::Void) {
            pending.row.productNumber = current_->number;
            pending.note = recordArrived ? kVoidNote : kCutVoidNote;
        }
        current_.reset();
        sending_ = false;
    }
    // Rows keep their order: one held earlier goes first.
    if (!held_.empty() && !flush()) {
        hold({pending, {}});
        return false;
    }
    return deliver(pending);
}

void StationLedger::apply(const HeldRow& p) {
    try {
        switch (p.end) {
            case RowEnd::Record:
                ledger_->record(p.row);
                return;
            case RowEnd::Written:
                ledger_->commitWritten(*p.reservation, p.row);
                return;
            case RowEnd::Released:
                ledger_->commitReleased(*p.reservation, p.row);
                return;
            case RowEnd::Void:
                ledger_->commitVoid(*p.reservation, p.row, p.note.empty() ? kVoidNote : p.note);
                return;
        }
    } catch (const LedgerError& e) {
        if (e.kind() != LedgerErrorKind::Refused || p.end == RowEnd::Record) throw;
        // Another process ended the reservation (an old recovery voided a number this mouse
        // holds): what happened to the mouse is still recorded, and `ledger check` names the
        // conflict. Unavailable here holds the row as it is; its repeat is refused alike.
        ledger_->record(p.row);
        throw LedgerError(LedgerErrorKind::Refused,
                          std::string(e.what()) + "; its row is recorded without it");
    }
}

void StationLedger::hold(Pending pending) {
    if (spool_ && pending.spooled.empty()) {
        try {
            pending.spooled = spool_->keep(pending.held);
        } catch (const std::exception& e) {
            problem_ += std::string("; ") + e.what();
        }
    }
    held_.push_back(std::move(pending));
}

bool StationLedger::deliver(const HeldRow& held) {
    try {
        apply(held);
        return true;
    } catch (const LedgerError& e) {
        problem_ = e.what();
        if (e.kind() == LedgerErrorKind::Unavailable) {
            hold({held, {}});
        } else {
            ++refused_;
        }
        return false;
    }
}

bool StationLedger::flush() {
    while (!held_.empty()) {
        try {
            apply(held_.front().held);
        } catch (const LedgerError& e) {
            problem_ = e.what();
            if (e.kind() == LedgerErrorKind::Unavailable) return false;
            ++refused_;
        }
        // Recorded, or refused for good (problem() says so): either way no longer held.
        if (spool_ && !held_.front().spooled.empty()) spool_->remove(held_.front().spooled);
        held_.erase(held_.begin());
    }
    return true;
}

std::vector<std::string> StationLedger::heldRows() const {
    std::vector<std::string> lines;
    for (const Pending& p : held_) {
        lines.push_back(Describe(p.held) + ": not recorded in the ledger" +
                        (p.spooled.empty() ? "" : " (kept in the spool)"));
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
