#pragma once
// The station's side of the ledger, one object per command or window, the same for every
// front end: it builds the row of each operation, gives numbered writes (the factory
// record on the first IC type) their product numbers, ends what a stop of this station
// left behind, and keeps rows the ledger could not take until it can.
//
// A numbered write:
//   reserve(type)            before the mouse is touched (throws LedgerError: no number)
//   recordMayGo(fields)      the write's gate (MouseSession::RecordGate): sending
//   finish(row)              written after a pass; released when the record never went
//                            out, void when it did (the failed mouse may hold the number)

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/operation_host.h"
#include "image/factory_record_gate.h"
#include "image/image_identity.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "ledger/ledger.h"
#include "production/operation_log.h"

namespace bw::ledger {

// What a front end knows of one finished operation.
struct OperationFacts {
    Operation op = Operation::Write;
    Outcome outcome = Outcome::Fail;
    int ic = 0;
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    std::string devicePath;
    std::string imageFile;  // the BIN file a write or verify used; its name is kept
    std::optional<ImageIdentity> image;
    std::optional<FactoryFields> factory;       // the record written or read
    std::optional<std::int32_t> productNumber;  // the number the mouse received
    std::optional<std::string> caption;         // what was shown, when not the outcome's text
    Reason reason;                              // why it did not pass; empty after a pass
    OperationTiming timing;
};

class StationLedger : public FactoryRecordGate {
  public:
    StationLedger(std::unique_ptr<Ledger> ledger, std::string station);

    Ledger& ledger() { return *ledger_; }
    const std::string& station() const { return station_; }

    // The row of an operation at this station, timed up to now.
    OperationRecord row(const OperationFacts& facts) const;

    // Ends the reservations this station left (Ledger::recover); one sentence per number.
    std::vector<std::string> recover(const WrittenProof& proof);

    // The next number of the type for a numbered write; throws LedgerError (exhausted
    // range, ledger unreachable): then nothing may be written to the mouse.
    std::int32_t reserve(std::int32_t productType);
    // For a rewrite of a mouse that holds `number`, written before: the number is taken
    // again (Ledger::rewrite), already being sent; finish() ends it written or void.
    // Throws LedgerError.
    void rewrite(std::int32_t productType, std::int32_t number);
    // The number reserved for the write in progress, if any.
    const std::optional<Reservation>& reservation() const { return current_; }

    // FactoryRecordGate: marks the reserved number as being sent. False when the ledger
    // cannot say so (problem() tells why) or the record does not carry that number.
    bool recordMayGo(const FactoryFields& fields) override;
    std::string whyHeld() const override { return problem_; }

    // Records a finished operation and ends the reservation of a numbered write. False when
    // the ledger could not take it: a row it could not take now is held for flush().
    bool finish(const OperationRecord& row);
    // Tries the held rows again, oldest first; true when none is left.
    bool flush();
    bool holding() const { return !held_.empty(); }
    // Rows the ledger refused for good (a reservation another process took over).
    int refusedRows() const { return refused_; }
    // One sentence per held row, naming its product number.
    std::vector<std::string> heldRows() const;

    // The ledger's last message (empty until something failed).
    const std::string& problem() const { return problem_; }

  private:
    enum class End { Record, Written, Released, Void };
    struct Pending {
        End end = End::Record;
        std::optional<Reservation> reservation;
        OperationRecord row;
    };
    void apply(const Pending& pending);
    // False when the ledger cannot be reached now (held), or refused (dropped, problem set).
    bool deliver(const Pending& pending);

    std::unique_ptr<Ledger> ledger_;
    std::string station_;
    std::optional<Reservation> current_;
    bool sending_ = false;
    std::vector<Pending> held_;
    std::string problem_;
    int refused_ = 0;
};

// The proof Ledger::recover asks for, read from the mouse at hand (opened here when no
// mouse is open): its factory record holds the number of the type, and its memory
// verifies against the loaded image. Nothing is proven without a loaded image or on the
// other IC types.
WrittenProof MouseAtHandProof(StationLedger& station, MouseSession& state,
                              const OperationFacts& target, OperationHost& host);

// "00002A of type 0005" as the command line and the window say it.
std::string NumberOfType(const Reservation& reservation);

}  // namespace bw::ledger
