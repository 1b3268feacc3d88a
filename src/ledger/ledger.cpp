#include "ledger/ledger.h"

#include <cstdio>

#include "ledger/ledger_time.h"

namespace bw::ledger {
namespace {

constexpr const char* kStateNames[] = {"reserved", "sending", "written", "released", "void"};

constexpr const char* kOperationColumns =
    "started_at, duration_ms, station_name, tool_version, operation, ic_type, vid, pid,"
    " device_path, image_name, image_sha256, factory_type, factory_date, factory_number,"
    " factory_no, factory_line, factory_station, product_number, passed, result, reason,"
    " caption";

constexpr const char* kSerialColumns =
    "product_type, number, lease, state, station_name, reserved_at, changed_at, operation_id,"
    " note";

std::string Now() {
    return UtcTimestamp(std::chrono::system_clock::now());
}

std::optional<std::string> Text(const std::string& s) {
    if (s.empty()) return std::nullopt;
    return s;
}

// A list row of the factory fields as the operator reads it (factory 1..8, line A..Z,
// station 1..8); a row past the list (-1) is stored as NULL.
SqlValue RowNumber(int row) {
    if (row < 0) return std::monostate{};
    return std::int64_t{row + 1};
}

SqlValue LineLetter(int row) {
    if (row < 0 || row > 25) return std::monostate{};
    return std::string(1, static_cast<char>('A' + row));
}

SqlParams OperationParams(const OperationRecord& r) {
    const auto& f = r.factory;
    auto field = [&](auto pick) -> SqlValue {
        if (!f) return std::monostate{};
        return pick(*f);
    };
    return {
        UtcTimestamp(r.started),
        r.durationMs,
        r.station,
        r.toolVersion,
        r.operation,
        r.icType,
        std::int64_t{r.vid},
        std::int64_t{r.pid},
        Nullable(Text(r.devicePath)),
        Nullable(Text(r.imageName)),
        Nullable(Text(r.imageSha256)),
        field([](const FactoryFields& x) -> SqlValue { return std::int64_t{x.type}; }),
        field([](const FactoryFields& x) -> SqlValue { return std::int64_t{x.date}; }),
        field([](const FactoryFields& x) -> SqlValue { return std::int64_t{x.number}; }),
        field([](const FactoryFields& x) { return RowNumber(x.factory); }),
        field([](const FactoryFields& x) { return LineLetter(x.line); }),
        field([](const FactoryFields& x) { return RowNumber(x.station); }),
        r.productNumber ? SqlValue{std::int64_t{*r.productNumber}} : SqlValue{},
        std::int64_t{r.passed ? 1 : 0},
        r.result,
        Nullable(r.reason),
        r.caption,
    };
}

OperationRow OperationFromRow(const SqlRow& q) {
    OperationRow row;
    row.id = q.integer(0);
    OperationRecord& r = row.record;
    r.started = ParseTimestamp(q.text(1)).value_or(std::chrono::system_clock::time_point{});
    r.durationMs = q.integer(2);
    r.station = q.text(3);
    r.toolVersion = q.text(4);
    r.operation = q.text(5);
    r.icType = q.text(6);
    r.vid = static_cast<std::int32_t>(q.integer(7));
    r.pid = static_cast<std::int32_t>(q.integer(8));
    r.devicePath = q.text(9);
    r.imageName = q.text(10);
    r.imageSha256 = q.text(11);
    if (!q.isNull(12)) {
        FactoryFields f;
        f.type = static_cast<std::int32_t>(q.integer(12));
        f.date = static_cast<std::int32_t>(q.integer(13));
        f.number = static_cast<std::int32_t>(q.integer(14));
        f.factory = q.isNull(15) ? -1 : static_cast<int>(q.integer(15)) - 1;
        const std::string line = q.text(16);
        f.line = line.size() == 1 ? line[0] - 'A' : -1;
        f.station = q.isNull(17) ? -1 : static_cast<int>(q.integer(17)) - 1;
        r.factory = f;
    }
    if (!q.isNull(18)) r.productNumber = static_cast<std::int32_t>(q.integer(18));
    r.passed = q.integer(19) != 0;
    r.result = q.text(20);
    r.reason = q.optionalText(21);
    r.caption = q.text(22);
    return row;
}

SerialRow SerialFromRow(const SqlRow& q) {
    SerialRow s;
    s.reservation.productType = static_cast<std::int32_t>(q.integer(0));
    s.reservation.number = static_cast<std::int32_t>(q.integer(1));
    s.reservation.lease = q.integer(2);
    s.state = SerialStateFromName(q.text(3)).value_or(SerialState::Void);
    s.station = q.text(4);
    s.reservedAt = q.text(5);
    s.changedAt = q.text(6);
    s.operationId = q.optionalInteger(7);
    s.note = q.optionalText(8);
    return s;
}

std::string Names(const Reservation& r) {
    return "product number " + NumberText(r.number) + " of type " + TypeText(r.productType);
}

void CheckType(std::int32_t productType) {
    if (productType < 0 || productType > 0xFFFF) {
        throw LedgerError(LedgerErrorKind::Refused,
                          "product type " + TypeText(productType) + " does not fit (4 hex digits)");
    }
}

}  // namespace

const char* SerialStateName(SerialState state) {
    return kStateNames[static_cast<int>(state)];
}

std::optional<SerialState> SerialStateFromName(const std::string& name) {
    for (int i = 0; i < 5; ++i) {
        if (name == kStateNames[i]) return static_cast<SerialState>(i);
    }
    return std::nullopt;
}

std::string NumberText(std::int64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%06llX", static_cast<unsigned long long>(number));
    return text;
}

std::string TypeText(std::int64_t productType) {
    char text[24];
    std::snprintf(text, sizeof text, "%04llX", static_cast<unsigned long long>(productType));
    return text;
}

Ledger::Ledger(std::unique_ptr<SqlSession> session, const std::vector<Migration>& migrations,
               bool create, bool readOnly)
    : session_(std::move(session)) {
    schemaVersion_ = PrepareSchema(*session_, migrations, create, readOnly);
}

Ledger::~Ledger() = default;

const std::string& Ledger::where() const {
    return session_->where();
}

std::string Ledger::identity() const {
    return session_->identity();
}

void Ledger::setStopCheck(StopCheck check) {
    session_->setStopCheck(std::move(check));
}

// The database's clock in milliseconds since 1970: one clock for every station.
const char* Ledger::nowMs() const {
    return session_->dialect() == Dialect::Postgres
               ? "CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT)"
               : "CAST((julianday('now') - 2440587.5) * 86400000.0 AS INTEGER)";
}

const char* Ledger::forUpdate() const {
    // SQLite's BEGIN IMMEDIATE already holds the one write lock.
    return session_->dialect() == Dialect::Postgres ? " FOR UPDATE" : "";
}

// One unit of work. A connection that broke is made again once and the work repeated
// (each step below is safe to repeat); a PostgreSQL serialization conflict is retried.
template <typename F>
auto Ledger::transact(TxMode mode, F&& body) {
    bool reconnected = false;
    for (int attempt = 0;; ++attempt) {
        try {
            session_->begin(mode);
            auto result = body();
            session_->commit();
            return result;
        } catch (const SqlError& e) {
            session_->rollback();
            // A server that said nothing, or a stop request, is not asked again.
            if (e.fault() == SqlFault::ConnectionLost && !reconnected) {
                reconnected = true;
                session_->reconnect();
                continue;
            }
            if ((e.fault() == SqlFault::Conflict || e.fault() == SqlFault::Unique) && attempt < 4) {
                continue;
            }
            throw;
        } catch (...) {
            session_->rollback();
            throw;
        }
    }
}

std::optional<std::int32_t> Ledger::computeNext(std::int32_t productType) {
    const SqlParams type{std::int64_t{productType}};
    const auto released = session_->query(
        "SELECT MIN(number) FROM serials WHERE product_type = $1 AND state = 'released'", type);
    if (!released[0].isNull(0)) return static_cast<std::int32_t>(released[0].integer(0));
    const auto highest =
        session_->query("SELECT MAX(number) FROM serials WHERE product_type = $1", type);
    std::int64_t next = 1;
    if (!highest[0].isNull(0)) {
        next = highest[0].integer(0) + 1;
    } else {
        const auto first =
            session_->query("SELECT first_number FROM product_types WHERE product_type = $1", type);
        if (!first.empty()) next = first[0].integer(0);
    }
    if (next > kLastProductNumber) return std::nullopt;
    return static_cast<std::int32_t>(next);
}

void Ledger::setFirstNumber(std::int32_t productType, std::int32_t number) {
    CheckType(productType);
    if (number < 0 || number > kLastProductNumber) {
        throw LedgerError(LedgerErrorKind::Refused, "product number " + NumberText(number) +
                                                        " does not fit the factory record"
                                                        " (6 hex digits)");
    }
    transact(TxMode::Durable, [&] {
        const SqlParams type{std::int64_t{productType}};
        session_->exec(
            "INSERT INTO product_types (product_type, first_number) VALUES ($1, $2)"
            " ON CONFLICT (product_type) DO NOTHING",
            {std::int64_t{productType}, std::int64_t{number}});
        session_->query(
            std::string("SELECT first_number FROM product_types WHERE product_type = $1") +
                forUpdate(),
            type);
        const auto count =
            session_->query("SELECT COUNT(*) FROM serials WHERE product_type = $1", type);
        if (count[0].integer(0) == 0) {
            session_->exec("UPDATE product_types SET first_number = $2 WHERE product_type = $1",
                           {std::int64_t{productType}, std::int64_t{number}});
            return 0;
        }
        const Reservation asked{productType, number, 0};
        const auto held =
            session_->query(std::string("SELECT ") + kSerialColumns +
                                " FROM serials WHERE product_type = $1 AND number = $2",
                            {std::int64_t{productType}, std::int64_t{number}});
        if (!held.empty()) {
            const SerialRow s = SerialFromRow(held[0]);
            if (s.state == SerialState::Written) {
                throw LedgerError(LedgerErrorKind::Refused,
                                  Names(asked) + " is already written (station " + s.station +
                                      ", " + s.changedAt + "); it is never given twice");
            }
            if (s.state != SerialState::Released) {
                throw LedgerError(LedgerErrorKind::Refused, Names(asked) + " is " +
                                                                SerialStateName(s.state) +
                                                                " (station " + s.station + ")");
            }
        }
        const auto next = computeNext(productType);
        if (next != number) {
            throw LedgerError(LedgerErrorKind::Refused,
                              "product type " + TypeText(productType) +
                                  " already has numbers in the ledger " +
                                  (next ? "(the next is " + NumberText(*next) + ")"
                                        : "(its range is exhausted)") +
                                  "; --sn sets only the first number of a type that has none");
        }
        return 0;
    });
}

std::optional<std::int32_t> Ledger::nextNumber(std::int32_t productType) {
    CheckType(productType);
    return transact(TxMode::Read, [&] { return computeNext(productType); });
}

Reservation Ledger::reserve(std::int32_t productType, const std::string& station) {
    CheckType(productType);
    return transact(TxMode::Durable, [&] {
        const SqlParams type{std::int64_t{productType}};
        session_->exec(
            "INSERT INTO product_types (product_type, first_number) VALUES ($1, 1)"
            " ON CONFLICT (product_type) DO NOTHING",
            type);
        // Every allocation of a type takes this row's lock first, so two stations never
        // read the same "next" number; the primary key is the last guard.
        session_->query(
            std::string("SELECT first_number FROM product_types WHERE product_type = $1") +
                forUpdate(),
            type);
        const auto next = computeNext(productType);
        if (!next) {
            throw LedgerError(LedgerErrorKind::Refused,
                              "product type " + TypeText(productType) +
                                  " has no number left: every number up to FFFFFF is taken");
        }
        const std::string now = Now();
        const SqlParams values{std::int64_t{productType}, std::int64_t{*next}, station, now};
        auto rows = session_->query(
            "UPDATE serials SET state = 'reserved', lease = lease + 1, station_name = $3,"
            " reserved_at = $4, changed_at = $4, operation_id = NULL, note = NULL"
            " WHERE product_type = $1 AND number = $2 AND state = 'released' RETURNING lease",
            values);
        if (rows.empty()) {
            rows = session_->query(
                "INSERT INTO serials (product_type, number, state, lease, station_name,"
                " reserved_at, changed_at) VALUES ($1, $2, 'reserved', 1, $3, $4, $4)"
                " RETURNING lease",
                values);
        }
        return Reservation{productType, *next, rows[0].integer(0)};
    });
}

SerialRow Ledger::lockSerial(const Reservation& r) {
    const auto rows =
        session_->query(std::string("SELECT ") + kSerialColumns +
                            " FROM serials WHERE product_type = $1 AND number = $2" + forUpdate(),
                        {std::int64_t{r.productType}, std::int64_t{r.number}});
    if (rows.empty()) {
        throw LedgerError(LedgerErrorKind::Refused, Names(r) + " was never reserved");
    }
    return SerialFromRow(rows[0]);
}

void Ledger::transition(const Reservation& r, SerialState to,
                        std::optional<std::int64_t> operationId,
                        const std::optional<std::string>& note) {
    session_->exec(
        "UPDATE serials SET state = $4, changed_at = $5, operation_id = $6, note = $7"
        " WHERE product_type = $1 AND number = $2 AND lease = $3",
        {std::int64_t{r.productType}, std::int64_t{r.number}, r.lease,
         std::string(SerialStateName(to)), Now(), Nullable(operationId), Nullable(note)});
}

namespace {

bool IsRewrite(const SerialRow& row) {
    return row.note && row.note->rfind(kRewriteNote, 0) == 0;
}

// The note of a number's next state: a rewritten number keeps saying so.
std::optional<std::string> Rewritten(const SerialRow& now, const std::optional<std::string>& note) {
    if (!IsRewrite(now)) return note;
    if (!note) return now.note;
    return std::string(kRewriteNote) + ", then " + *note;
}

// A reservation another process has ended or taken over since.
[[noreturn]] void Superseded(const Reservation& r, const SerialRow& now) {
    throw LedgerError(LedgerErrorKind::Refused, Names(r) + " is no longer this cycle's: it is " +
                                                    SerialStateName(now.state) + " (station " +
                                                    now.station + ", " + now.changedAt + ")");
}

}  // namespace

void Ledger::markSending(const Reservation& r) {
    transact(TxMode::Durable, [&] {
        const SerialRow now = lockSerial(r);
        if (now.reservation.lease != r.lease) Superseded(r, now);
        if (now.state == SerialState::Sending) return 0;  // repeated after a reconnect
        if (now.state != SerialState::Reserved) Superseded(r, now);
        transition(r, SerialState::Sending, std::nullopt, std::nullopt);
        return 0;
    });
}

std::int64_t Ledger::commitWritten(const Reservation& r, const OperationRecord& row) {
    return transact(TxMode::Durable, [&]() -> std::int64_t {
        const SerialRow now = lockSerial(r);
        if (now.reservation.lease != r.lease) Superseded(r, now);
        if (now.state == SerialState::Written && now.operationId) return *now.operationId;
        if (now.state != SerialState::Sending) Superseded(r, now);
        const std::int64_t id = insertOperation(row);
        // A rewrite's note stays with the number.
        transition(r, SerialState::Written, id, Rewritten(now, std::nullopt));
        return id;
    });
}

std::int64_t Ledger::commitReleased(const Reservation& r,
                                    const std::optional<OperationRecord>& row) {
    return transact(TxMode::Durable, [&]() -> std::int64_t {
        const SerialRow now = lockSerial(r);
        if (now.reservation.lease != r.lease) Superseded(r, now);
        if (now.state == SerialState::Released) return now.operationId.value_or(0);
        if (now.state != SerialState::Reserved && now.state != SerialState::Sending) {
            Superseded(r, now);
        }
        const std::int64_t id = row ? insertOperation(*row) : 0;
        transition(r, SerialState::Released, id != 0 ? std::optional(id) : std::nullopt,
                   std::nullopt);
        return id;
    });
}

std::int64_t Ledger::commitVoid(const Reservation& r, const OperationRecord& row,
                                const std::string& note) {
    return transact(TxMode::Durable, [&]() -> std::int64_t {
        const SerialRow now = lockSerial(r);
        if (now.reservation.lease != r.lease) Superseded(r, now);
        if (now.state == SerialState::Void) return now.operationId.value_or(0);
        if (now.state != SerialState::Sending) Superseded(r, now);
        const std::int64_t id = insertOperation(row);
        transition(r, SerialState::Void, id, Rewritten(now, note));
        return id;
    });
}

std::optional<SerialRow> Ledger::serial(std::int32_t productType, std::int32_t number) {
    CheckType(productType);
    return transact(TxMode::Read, [&]() -> std::optional<SerialRow> {
        const auto rows =
            session_->query(std::string("SELECT ") + kSerialColumns +
                                " FROM serials WHERE product_type = $1 AND number = $2",
                            {std::int64_t{productType}, std::int64_t{number}});
        if (rows.empty()) return std::nullopt;
        return SerialFromRow(rows[0]);
    });
}

Reservation Ledger::rewrite(std::int32_t productType, std::int32_t number,
                            const std::string& station) {
    CheckType(productType);
    return transact(TxMode::Durable, [&] {
        const Reservation asked{productType, number, 0};
        const SerialRow now = lockSerial(asked);
        if (now.state != SerialState::Written) {
            throw LedgerError(LedgerErrorKind::Refused,
                              Names(asked) + " cannot be rewritten: it is " +
                                  SerialStateName(now.state) + ", not written");
        }
        const std::string text =
            std::string(kRewriteNote) + " of the mouse that holds it" +
            (now.operationId ? " (written by operation " + std::to_string(*now.operationId) + ")"
                             : std::string());
        const std::string at = Now();
        const auto rows = session_->query(
            "UPDATE serials SET state = 'sending', lease = lease + 1, station_name = $3,"
            " reserved_at = $4, changed_at = $4, note = $5"
            " WHERE product_type = $1 AND number = $2 RETURNING lease",
            {std::int64_t{productType}, std::int64_t{number}, station, at, text});
        return Reservation{productType, number, rows[0].integer(0)};
    });
}

std::vector<SerialRow> Ledger::dangling(const std::string& station) {
    return transact(TxMode::Read, [&] {
        std::vector<SerialRow> rows;
        for (const auto& q : session_->query(std::string("SELECT ") + kSerialColumns +
                                                 " FROM serials WHERE station_name = $1 AND"
                                                 " state IN ('reserved', 'sending')"
                                                 " ORDER BY product_type, number",
                                             {station})) {
            rows.push_back(SerialFromRow(q));
        }
        return rows;
    });
}

std::vector<Recovered> Ledger::recover(const std::string& station, const WrittenProof& proof,
                                       const RecoveryRules& rules) {
    if (!rules.leaseToken.empty()) {
        const auto holder = transact(TxMode::Read, [&] { return readHolder(station, false); });
        if (!holder || holder->token != rules.leaseToken) {
            throw LedgerError(LedgerErrorKind::Refused,
                              "station " + station + " does not hold its lease in ledger " +
                                  where() + (holder ? " (host " + holder->host + " does)" : "") +
                                  ": its reservations are left alone");
        }
    }
    std::vector<Recovered> done;
    for (const SerialRow& row : dangling(station)) {
        Recovered r{row, SerialState::Released};
        const Reservation& res = row.reservation;
        if (rules.keep && rules.keep(row)) {
            r.now = row.state;
            r.kept = true;
        } else if (row.state == SerialState::Reserved) {
            transact(TxMode::Durable, [&] {
                if (lockSerial(res).reservation.lease != res.lease) return 0;
                transition(res, SerialState::Released, std::nullopt,
                           std::string("released at the station's restart: the mouse was not"
                                       " touched"));
                return 0;
            });
        } else {
            const std::optional<OperationRecord> shown = proof ? proof(row) : std::nullopt;
            const bool written = shown && shown->passed;
            r.now = written ? SerialState::Written : SerialState::Void;
            transact(TxMode::Durable, [&] {
                const SerialRow now = lockSerial(res);
                if (now.reservation.lease != res.lease || now.state != SerialState::Sending) {
                    return 0;
                }
                if (written) {
                    OperationRecord proven = *shown;
                    proven.productNumber = res.number;
                    transition(res, SerialState::Written, insertOperation(proven),
                               Rewritten(now,
                                         "written: found in the mouse at the station's"
                                         " restart"));
                } else {
                    transition(res, SerialState::Void, std::nullopt,
                               Rewritten(now,
                                         "void: the station stopped while the number was"
                                         " being sent and the mouse could not be checked"));
                }
                return 0;
            });
        }
        done.push_back(r);
    }
    return done;
}

std::optional<StationHolder> Ledger::readHolder(const std::string& station, bool lock) {
    const auto rows = session_->query(
        std::string("SELECT token, host, process_id, started_at, renewed_ms, expires_ms, ") +
            nowMs() + " FROM station_leases WHERE station_name = $1" + (lock ? forUpdate() : ""),
        {station});
    if (rows.empty()) return std::nullopt;
    const SqlRow& q = rows[0];
    return StationHolder{q.text(0),    q.text(1),    q.integer(2), q.text(3),
                         q.integer(4), q.integer(5), q.integer(6)};
}

StationClaim Ledger::claimStation(const std::string& station, const StationHolder& me,
                                  std::int64_t leaseMs,
                                  const std::function<bool(const StationHolder&)>& gone) {
    return transact(TxMode::Durable, [&]() -> StationClaim {
        const SqlParams values{station, me.token, me.host, me.processId, me.startedAt, leaseMs};
        const std::string now = nowMs();
        // A name nobody holds is taken at once; the row of one that is held is locked.
        if (!session_
                 ->query("INSERT INTO station_leases (station_name, token, host, process_id,"
                         " started_at, renewed_ms, expires_ms) VALUES ($1, $2, $3, $4, $5, " +
                             now + ", " + now +
                             " + $6) ON CONFLICT (station_name) DO NOTHING RETURNING token",
                         values)
                 .empty()) {
            return {true, std::nullopt};
        }
        std::optional<StationHolder> held = readHolder(station, true);
        if (!held) return {false, std::nullopt};  // released meanwhile: the next claim takes it
        if (held->token != me.token && held->expiresMs > held->nowMs && !(gone && gone(*held))) {
            return {false, held};
        }
        session_->exec(
            "UPDATE station_leases SET token = $2, host = $3, process_id = $4,"
            " started_at = $5, renewed_ms = " +
                now + ", expires_ms = " + now + " + $6 WHERE station_name = $1",
            values);
        return {true, held};
    });
}

bool Ledger::renewStation(const std::string& station, const std::string& token,
                          std::int64_t leaseMs) {
    const std::string now = nowMs();
    return transact(TxMode::Write, [&] {
        return session_->exec("UPDATE station_leases SET renewed_ms = " + now + ", expires_ms = " +
                                  now + " + $3 WHERE station_name = $1 AND token = $2",
                              {station, token, leaseMs}) == 1;
    });
}

void Ledger::releaseStation(const std::string& station, const std::string& token) {
    transact(TxMode::Write, [&] {
        return session_->exec("DELETE FROM station_leases WHERE station_name = $1 AND token = $2",
                              {station, token});
    });
}

std::optional<StationHolder> Ledger::stationHolder(const std::string& station) {
    return transact(TxMode::Read, [&] { return readHolder(station, false); });
}

std::int64_t Ledger::insertOperation(const OperationRecord& row) {
    const auto ids = session_->query(std::string("INSERT INTO operations (") + kOperationColumns +
                                         ") VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11,"
                                         " $12, $13, $14, $15, $16, $17, $18, $19, $20, $21, $22)"
                                         " RETURNING id",
                                     OperationParams(row));
    return ids[0].integer(0);
}

std::int64_t Ledger::record(const OperationRecord& row) {
    return transact(TxMode::Write, [&] { return insertOperation(row); });
}

std::vector<OperationRow> Ledger::operations(const OperationFilter& filter) {
    std::string sql =
        std::string("SELECT id, ") + kOperationColumns + " FROM operations WHERE 1 = 1";
    SqlParams params;
    if (filter.since) {
        params.emplace_back(UtcTimestamp(*filter.since));
        sql += " AND started_at >= $" + std::to_string(params.size());
    }
    if (filter.station) {
        params.emplace_back(*filter.station);
        sql += " AND station_name = $" + std::to_string(params.size());
    }
    sql += " ORDER BY started_at, id";
    return transact(TxMode::Read, [&] {
        std::vector<OperationRow> rows;
        for (const auto& q : session_->query(sql, params)) rows.push_back(OperationFromRow(q));
        return rows;
    });
}

std::vector<SerialRow> Ledger::serials() {
    return transact(TxMode::Read, [&] {
        std::vector<SerialRow> rows;
        for (const auto& q : session_->query(std::string("SELECT ") + kSerialColumns +
                                             " FROM serials ORDER BY product_type, number")) {
            rows.push_back(SerialFromRow(q));
        }
        return rows;
    });
}

std::vector<std::string> Ledger::check() {
    return transact(TxMode::Read, [&] {
        std::vector<std::string> problems;
        auto name = [](const SqlRow& q) {
            return Names(Reservation{static_cast<std::int32_t>(q.integer(0)),
                                     static_cast<std::int32_t>(q.integer(1)), 0});
        };
        for (const auto& q : session_->query(
                 "SELECT o.factory_type, o.product_number, COUNT(*) FROM operations o"
                 " WHERE o.operation = 'write' AND o.passed = 1 AND o.product_number IS NOT NULL"
                 " AND NOT EXISTS (SELECT 1 FROM serials s WHERE s.product_type = o.factory_type"
                 " AND s.number = o.product_number AND s.note LIKE 'rewrite%')"
                 " GROUP BY o.factory_type, o.product_number HAVING COUNT(*) > 1"
                 " ORDER BY o.factory_type, o.product_number")) {
            problems.push_back(name(q) + " was written " + q.text(2) + " times");
        }
        for (const auto& q :
             session_->query("SELECT s.product_type, s.number, s.operation_id FROM serials s"
                             " LEFT JOIN operations o ON o.id = s.operation_id"
                             " WHERE s.state = 'written' AND (o.id IS NULL OR o.passed <> 1"
                             " OR o.product_number IS NULL OR o.product_number <> s.number"
                             " OR o.factory_type IS NULL OR o.factory_type <> s.product_type)"
                             " ORDER BY s.product_type, s.number")) {
            problems.push_back(name(q) + " is marked written but has no passing row" +
                               (q.isNull(2) ? "" : " (operation " + q.text(2) + " is not one)"));
        }
        for (const auto& q : session_->query(
                 "SELECT o.factory_type, o.product_number, o.id, s.state FROM operations o"
                 " LEFT JOIN serials s ON s.product_type = o.factory_type"
                 " AND s.number = o.product_number"
                 " WHERE o.operation = 'write' AND o.passed = 1 AND o.product_number IS NOT NULL"
                 " AND (s.state IS NULL OR s.state <> 'written' OR s.operation_id <> o.id)"
                 // The earlier rows of a rewritten number: its state says what holds now.
                 " AND (s.note IS NULL OR s.note NOT LIKE 'rewrite%')"
                 " ORDER BY o.id")) {
            problems.push_back(name(q) + " went into a mouse (operation " + q.text(2) +
                               ") but the ledger holds it as " +
                               (q.isNull(3) ? std::string("never reserved") : q.text(3)) +
                               (q.text(3) == "written" ? " by another operation" : ""));
        }
        for (const auto& q : session_->query(
                 "SELECT product_type, number, state, station_name, changed_at FROM serials"
                 " WHERE state IN ('reserved', 'sending') ORDER BY product_type, number")) {
            problems.push_back(name(q) + " is a dangling reservation: " + q.text(2) +
                               " by station " + q.text(3) + " since " + q.text(4));
        }
        return problems;
    });
}

}  // namespace bw::ledger
