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
//
// A station (run, run --gang, the windows) starts with start(): it claims the station's
// lease (station_lease.h) and hands the rows its spool kept (row_spool.h) to the ledger;
// recover() then ends what its last run left. From then on a row the ledger cannot take is
// kept in the spool before the result is shown.

#include <filesystem>
#include <functional>
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
#include "ledger/row_spool.h"
#include "ledger/station_lease.h"
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

// A connection of the lease's own, its waits cut short by `stop`.
using LedgerOpener = std::function<std::unique_ptr<Ledger>(const StopCheck& stop)>;

class StationLedger : public FactoryRecordGate {
  public:
    StationLedger(std::unique_ptr<Ledger> ledger, std::string station);
    ~StationLedger() override;

    Ledger& ledger() { return *ledger_; }
    const std::string& station() const { return station_; }

    // How start() opens the lease's connection, and the station's data folder that holds
    // the spool (none: rows are held in memory only). Without an opener no lease is taken.
    void holdStation(LedgerOpener opener, std::optional<std::filesystem::path> dataFolder,
                     LeaseTerms terms = {});
    // Shares the lease and spool of the station's first ledger (a gang station's slots).
    void joinStation(const StationLedger& first);
    // Cuts every wait of the ledger short (the front end's stop request); empty: none.
    void setStopCheck(StopCheck stop);

    // Claims the lease (throws LedgerError: Refused while the name runs elsewhere) and hands
    // the spool's rows to the ledger, oldest first; one sentence per row. Once; say hears a
    // wait for the lease of a holder that may be gone.
    std::vector<std::string> start(const StationLease::Say& say = {});
    // The spool's folder, once start() found the data folder.
    std::optional<std::filesystem::path> spoolFolder() const;
    // Why the station's lease is gone (StationLease::lost); empty while it holds it.
    std::string leaseLost() const;

    // The row of an operation at this station, timed up to now.
    OperationRecord row(const OperationFacts& facts) const;

    // Ends the reservations this station left (Ledger::recover), after start(); one
    // sentence per number. A reservation whose row the spool still holds is left alone.
    std::vector<std::string> recover(const WrittenProof& proof, const StationLease::Say& say = {});

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
    // the ledger could not take it: a row it could not take now is held for flush() (and kept
    // in the spool first). recordArrived: after the gate let the record go, it arrived whole
    // (false: the write stopped or failed while sending it); it only words a void's note.
    bool finish(const OperationRecord& row, bool recordArrived = true);
    // Tries the held rows again, oldest first; true when none is left.
    bool flush();
    bool holding() const { return !held_.empty(); }
    // Rows whose reservation the ledger refused to end (another process ended it): the row
    // itself is recorded alone, so that `ledger check` names the conflict.
    int refusedRows() const { return refused_; }
    // One sentence per held row, naming its product number.
    std::vector<std::string> heldRows() const;

    // The ledger's last message (empty until something failed).
    const std::string& problem() const { return problem_; }

  private:
    struct Pending {
        HeldRow held;
        std::string spooled;  // its file in the spool; empty: in memory only
    };
    // Ends the reservation as the row says; one the ledger refuses to end is recorded alone.
    void apply(const HeldRow& held);
    // False when the ledger cannot be reached now (held and spooled), or refused.
    bool deliver(const HeldRow& held);
    void hold(Pending pending);

    std::unique_ptr<Ledger> ledger_;
    std::string station_;
    StopCheck stop_;
    LedgerOpener opener_;
    std::optional<std::filesystem::path> dataFolder_;
    LeaseTerms terms_;
    std::shared_ptr<StationLease> lease_;
    std::shared_ptr<RowSpool> spool_;
    bool started_ = false;
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
