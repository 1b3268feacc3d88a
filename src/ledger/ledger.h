#pragma once
// The production ledger: serial numbers that never repeat across restarts and stations,
// and a row for every operation. One SQLite file for a station, or one PostgreSQL database
// for a line; the rules below are the same for both.
//
// Per mouse (write with the factory record):
//   r = reserve(type, station)     committed before the mouse is touched
//   markSending(r)                 committed just before the record goes out
//   commitWritten(r, row)          after the read-back passed: row and number in one commit
//   commitReleased(r, row)         after a failure before the record went out
//   commitVoid(r, row, note)       after a failure once the record went out
// At the start of a station: recover(station, proof) ends what a crash left behind.
// A Ledger holds one connection: use it from one thread; each thread or process opens its own.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ledger/ledger_error.h"
#include "ledger/ledger_records.h"
#include "ledger/schema.h"
#include "ledger/sql_session.h"

namespace bw::ledger {

struct LedgerOptions {
    // SQLite: wait for a lock another station holds. Its busy handler is not fair: with a
    // gang station's slots and a busy disk one writer can lose the lock several seconds
    // running.
    int busyTimeoutMs = 30000;
    // PostgreSQL: wait for a lock (lock_timeout; its queue is fair, a ledger transaction
    // holds a lock for milliseconds). A statement gets 5 s more on the server, and 10 s more
    // here before a server that says nothing counts as gone.
    int lockTimeoutMs = 10000;
    const std::vector<Migration>* migrations = nullptr;  // null: the built-in ones
    bool create = true;  // false (the read side): a missing file or empty database is an error
    // Reading only: a SQLite file is opened read-only (a file or folder the user may only
    // read), an older schema is read as it is instead of migrated.
    bool readOnly = false;
    StopCheck stop;  // cuts every wait short, the first connect's too (Ledger::setStopCheck)
};

struct OperationFilter {
    std::optional<std::chrono::system_clock::time_point> since;
    std::optional<std::string> station;
};

// What recover() did with one reservation a crash left behind.
struct Recovered {
    SerialRow before;
    SerialState now = SerialState::Released;
    bool kept = false;  // left as it was: RecoveryRules::keep asked for it
};

// Who holds a station's name (table station_leases). Times in milliseconds on the database's
// clock.
struct StationHolder {
    std::string token;  // this run's: random, unique
    std::string host;
    std::int64_t processId = 0;
    std::string startedAt;  // UTC timestamp (ledger_time.h)
    std::int64_t renewedMs = 0;
    std::int64_t expiresMs = 0;
    std::int64_t nowMs = 0;  // the database's clock when it was read
};

struct StationClaim {
    bool taken = false;
    // taken: the expired or ended lease it replaced, if any; else the live holder.
    std::optional<StationHolder> holder;
};

struct RecoveryRules {
    // Not empty: recovery runs only while this token holds the station's lease, so that the
    // reservations of a station that still runs are never ended.
    std::string leaseToken;
    // Reservations left as they are: their end is held by the station (its spool).
    std::function<bool(const SerialRow&)> keep;
};

// Given a number that was being sent when the station stopped: a passing row proving that
// the mouse at hand holds the number and verifies, or nullopt when that cannot be shown.
using WrittenProof = std::function<std::optional<OperationRecord>(const SerialRow& sending)>;

class Ledger {
  public:
    // Takes the session and brings its schema to the last migration (throws LedgerError).
    Ledger(std::unique_ptr<SqlSession> session, const std::vector<Migration>& migrations,
           bool create = true, bool readOnly = false);
    ~Ledger();
    Ledger(const Ledger&) = delete;
    Ledger& operator=(const Ledger&) = delete;

    const std::string& where() const;
    // Tells two ledgers apart (SqlSession::identity).
    std::string identity() const;
    int schemaVersion() const { return schemaVersion_; }
    // The stop request that cuts every wait of this connection short.
    void setStopCheck(StopCheck check);

    // --sn: the first number of a product type that has none. On a type with numbers only
    // the number the ledger would give next is accepted; a number in use is refused.
    void setFirstNumber(std::int32_t productType, std::int32_t number);
    // What reserve() would give now; nullopt when the type's range is exhausted.
    std::optional<std::int32_t> nextNumber(std::int32_t productType);

    // The lowest released number of the type, else the one after the highest.
    Reservation reserve(std::int32_t productType, const std::string& station);
    void markSending(const Reservation& reservation);
    // Records the passing row and marks the number written; returns the row's id.
    std::int64_t commitWritten(const Reservation& reservation, const OperationRecord& row);
    // Records the failing row (if any) and releases the number; returns the row's id or 0.
    std::int64_t commitReleased(const Reservation& reservation,
                                const std::optional<OperationRecord>& row);
    // Records the failing row and voids the number: the record had gone out, so the failed
    // mouse may hold it, and it is never given again. Returns the row's id.
    std::int64_t commitVoid(const Reservation& reservation, const OperationRecord& row,
                            const std::string& note);

    // The row of one number of a type; nullopt when it was never reserved.
    std::optional<SerialRow> serial(std::int32_t productType, std::int32_t number);
    // A written number taken again for a rewrite of the mouse that holds it: sending from
    // now on (the mouse holds it already) under a new lease of `station`, and ended as any
    // cycle is: written with the rewrite's row after a pass, void after a failure (the image
    // write may have taken the number out of the mouse). Its note starts with kRewriteNote
    // for good, so check() accepts the several passing rows of a rewritten number.
    Reservation rewrite(std::int32_t productType, std::int32_t number, const std::string& station);

    // Reservations of the station that no cycle ended (reserved or sending).
    std::vector<SerialRow> dangling(const std::string& station);
    // reserved -> released; sending -> written when proof gives a passing row, else void.
    // Throws Refused when rules.leaseToken does not hold the station's lease.
    std::vector<Recovered> recover(const std::string& station, const WrittenProof& proof,
                                   const RecoveryRules& rules = {});

    // The station's lease: taken for `me` for leaseMs when nobody holds it, when its lease
    // has expired, or when `gone` says its holder no longer runs; else the live holder is
    // returned (durable: recovery relies on it).
    StationClaim claimStation(const std::string& station, const StationHolder& me,
                              std::int64_t leaseMs,
                              const std::function<bool(const StationHolder&)>& gone);
    // Extends the lease by leaseMs from now; false when the token no longer holds it.
    bool renewStation(const std::string& station, const std::string& token, std::int64_t leaseMs);
    // Gives the name up (a station that ends); nothing when the token no longer holds it.
    void releaseStation(const std::string& station, const std::string& token);
    std::optional<StationHolder> stationHolder(const std::string& station);

    // An operation without a number (verify, save, read-factory, write without the record).
    std::int64_t record(const OperationRecord& row);

    std::vector<OperationRow> operations(const OperationFilter& filter = {});
    std::vector<SerialRow> serials();
    // Broken invariants, one sentence each; empty when the ledger is sound.
    std::vector<std::string> check();

  private:
    template <typename F>
    auto transact(TxMode mode, F&& body);
    std::int64_t insertOperation(const OperationRecord& row);
    SerialRow lockSerial(const Reservation& reservation);
    std::optional<std::int32_t> computeNext(std::int32_t productType);
    void transition(const Reservation& reservation, SerialState to,
                    std::optional<std::int64_t> operationId,
                    const std::optional<std::string>& note);
    const char* forUpdate() const;
    const char* nowMs() const;
    std::optional<StationHolder> readHolder(const std::string& station, bool lock);

    std::unique_ptr<SqlSession> session_;
    int schemaVersion_ = 0;
};

// How the note of a rewritten number begins.
inline constexpr const char* kRewriteNote = "rewrite";

// Opens the ledger named by --ledger: a PostgreSQL connection string or a SQLite file.
std::unique_ptr<Ledger> OpenLedger(const std::string& url, const LedgerOptions& options = {});

// Whether this build has the ledger backends (the Windows build has neither).
bool LedgerBackendsBuiltIn();

// `ledger backup`: a SQLite ledger copied into `target` (BackupSqliteLedger), after it was
// opened as a ledger to read. A PostgreSQL ledger is refused, naming the server's own tool.
// Throws LedgerError. Returns the copy's schema version, operations and numbers.
struct LedgerBackup {
    std::int64_t schemaVersion = 0;
    std::int64_t operations = 0;
    std::int64_t numbers = 0;
};
LedgerBackup BackupLedger(const std::string& url, const std::string& target);

// Whether --ledger's value names a file (a SQLite ledger) rather than a PostgreSQL
// connection string.
bool NamesLedgerFile(const std::string& url);

}  // namespace bw::ledger
