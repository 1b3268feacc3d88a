#pragma once
// The narrow seam between the ledger's rules and a database client: parameterised
// statements ($1, $2, ... in both dialects), transactions and a reconnect. The SQLite and
// PostgreSQL sessions implement it; everything above it is written once.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ledger/call_wait.h"
#include "ledger/ledger_error.h"

namespace bw::ledger {

enum class Dialect { Sqlite, Postgres };

// Read: a consistent view. Write: takes the write lock up front (SQLite) so two stations
// never interleave their read-then-write. Durable: a Write whose commit reaches the disk
// before it returns (serial numbers and the rows that prove them).
enum class TxMode { Read, Write, Durable };

using SqlValue = std::variant<std::monostate, std::int64_t, std::string>;
using SqlParams = std::vector<SqlValue>;

SqlValue Nullable(const std::optional<std::int64_t>& value);
SqlValue Nullable(const std::optional<std::string>& value);

class SqlRow {
  public:
    explicit SqlRow(std::vector<SqlValue> values) : values_(std::move(values)) {}
    std::size_t size() const { return values_.size(); }
    bool isNull(std::size_t i) const;
    std::int64_t integer(std::size_t i) const;  // 0 for NULL
    std::string text(std::size_t i) const;      // "" for NULL
    std::optional<std::int64_t> optionalInteger(std::size_t i) const;
    std::optional<std::string> optionalText(std::size_t i) const;

  private:
    std::vector<SqlValue> values_;
};

// Why a statement failed, beside the message: the ledger maps these to its error kinds and
// retries what can be retried.
// TimedOut: the server gave no answer within the call's bound; Stopped: the wait was given
// up at a stop request. Either way the connection was dropped and the call is not repeated.
enum class SqlFault {
    ConnectionLost,
    TimedOut,
    Stopped,
    Busy,
    Full,
    NotADatabase,
    Unique,
    Conflict,
    Other
};

class SqlError : public LedgerError {
  public:
    SqlError(SqlFault fault, LedgerErrorKind kind, const std::string& message)
        : LedgerError(kind, message), fault_(fault) {}
    SqlFault fault() const { return fault_; }

  private:
    SqlFault fault_;
};

class SqlSession {
  public:
    virtual ~SqlSession() = default;
    virtual Dialect dialect() const = 0;
    // What the ledger is, for messages: the file, or the server and database (no password).
    virtual const std::string& where() const = 0;
    // Which ledger this is, to tell two apart: where() and what else selects the data (a
    // PostgreSQL connection's options, such as its search_path).
    virtual std::string identity() const { return where(); }

    // The stop request that cuts every wait of this session short (CallWait). A stop seen
    // through the check before stays seen: its grace does not start again.
    void setStopCheck(StopCheck check) { stop_.check = std::move(check); }

    virtual void begin(TxMode mode) = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;

    virtual std::vector<SqlRow> query(std::string_view sql, const SqlParams& params = {}) = 0;
    // Returns the number of rows changed.
    virtual std::int64_t exec(std::string_view sql, const SqlParams& params = {}) = 0;

    // After SqlFault::ConnectionLost: connects again, or throws Unavailable.
    virtual void reconnect() = 0;

  protected:
    StopState stop_;
};

}  // namespace bw::ledger
