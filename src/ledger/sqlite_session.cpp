#include "ledger/sqlite_session.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "os/utf8_path.h"

namespace bw::ledger {
namespace {

class SqliteSession final : public SqlSession {
  public:
    SqliteSession(std::string path, int busyTimeoutMs, bool create)
        : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs), create_(create) {
        connect();
    }
    ~SqliteSession() override { disconnect(); }

    Dialect dialect() const override { return Dialect::Sqlite; }
    const std::string& where() const override { return path_; }

    void begin(TxMode mode) override {
        // Plain operation rows may wait for the next checkpoint; serial numbers may not.
        const bool durable = mode == TxMode::Durable;
        if (durable != durableNow_) {
            run(durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
            durableNow_ = durable;
        }
        run(mode == TxMode::Read ? "BEGIN" : "BEGIN IMMEDIATE");
    }
    void commit() override { run("COMMIT"); }
    void rollback() noexcept override {
        if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }

    std::vector<SqlRow> query(std::string_view sql, const SqlParams& params) override {
        sqlite3_stmt* stmt = prepare(sql, params);
        std::vector<SqlRow> rows;
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) fail(rc, stmt);
            std::vector<SqlValue> values;
            const int columns = sqlite3_column_count(stmt);
            values.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(stmt, c)) {
                    case SQLITE_NULL:
                        values.emplace_back(std::monostate{});
                        break;
                    case SQLITE_INTEGER:
                        values.emplace_back(
                            static_cast<std::int64_t>(sqlite3_column_int64(stmt, c)));
                        break;
                    default: {
                        const auto* text =
                            reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                        values.emplace_back(std::string(
                            text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, c))));
                    }
                }
            }
            rows.emplace_back(std::move(values));
        }
        sqlite3_reset(stmt);
        return rows;
    }

    std::int64_t exec(std::string_view sql, const SqlParams& params) override {
        sqlite3_stmt* stmt = prepare(sql, params);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) fail(rc, stmt);
        sqlite3_reset(stmt);
        return sqlite3_changes64(db_);
    }

    void reconnect() override {
        disconnect();
        connect();
    }

  private:
    void connect() {
        std::error_code ec;
        if (std::filesystem::is_directory(PathFromUtf8(path_), ec)) {
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           "ledger " + path_ + " is a folder, not a ledger file");
        }
        if (!create_ && !std::filesystem::exists(PathFromUtf8(path_), ec)) {
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           "ledger " + path_ + " does not exist");
        }
        const int rc =
            sqlite3_open_v2(path_.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | (create_ ? SQLITE_OPEN_CREATE : 0), nullptr);
        if (rc != SQLITE_OK) {
            const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            disconnect();
            throw SqlError(SqlFault::Other, LedgerErrorKind::Unavailable,
                           "ledger " + path_ + " cannot be opened: " + why);
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, busyTimeoutMs_);
        // The first statement that reads the file says whether it is a database at all.
        try {
            run("PRAGMA foreign_keys=ON");
            SwitchToWal();
            run("PRAGMA synchronous=FULL");
        } catch (...) {
            disconnect();  // a constructor that throws runs no destructor
            throw;
        }
        durableNow_ = true;
    }

    // Changing the journal mode needs the file to itself, and SQLite may answer "busy" at once
    // there without asking the busy handler (stations opening a new ledger together), so the
    // busy timeout is kept here by hand.
    void SwitchToWal() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs_);
        for (;;) {
            const int rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) return;
            if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) {
                fail(rc, nullptr);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    void disconnect() noexcept {
        for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
        statements_.clear();
        if (db_ != nullptr) sqlite3_close_v2(db_);
        db_ = nullptr;
    }

    void run(const char* sql) {
        char* message = nullptr;
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
        sqlite3_free(message);
        if (rc != SQLITE_OK) fail(rc, nullptr);
    }

    sqlite3_stmt* prepare(std::string_view sql, const SqlParams& params) {
        auto it = statements_.find(std::string(sql));
        if (it == statements_.end()) {
            sqlite3_stmt* stmt = nullptr;
            const int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                              SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
            if (rc != SQLITE_OK) fail(rc, nullptr);
            it = statements_.emplace(std::string(sql), stmt).first;
        }
        sqlite3_stmt* stmt = it->second;
        sqlite3_clear_bindings(stmt);
        for (std::size_t i = 0; i < params.size(); ++i) {
            // "$N" is a named parameter to SQLite: look up its slot by name. Appended, not
            // "$" + text: GCC 12 at -O3 reports a false -Wrestrict in that inlined insert.
            std::string name(1, '$');
            name += std::to_string(i + 1);
            const int slot = sqlite3_bind_parameter_index(stmt, name.c_str());
            if (slot == 0) continue;
            int rc = SQLITE_OK;
            if (const auto* n = std::get_if<std::int64_t>(&params[i])) {
                rc = sqlite3_bind_int64(stmt, slot, *n);
            } else if (const auto* s = std::get_if<std::string>(&params[i])) {
                rc = sqlite3_bind_text(stmt, slot, s->data(), static_cast<int>(s->size()),
                                       SQLITE_TRANSIENT);
            } else {
                rc = sqlite3_bind_null(stmt, slot);
            }
            if (rc != SQLITE_OK) fail(rc, stmt);
        }
        return stmt;
    }

    [[noreturn]] void fail(int rc, sqlite3_stmt* stmt) {
        const std::string detail = sqlite3_errmsg(db_);
        if (stmt != nullptr) sqlite3_reset(stmt);
        const std::string where = "ledger " + path_;
        switch (rc & 0xFF) {
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
                throw SqlError(SqlFault::Busy, LedgerErrorKind::Unavailable,
                               where + " is locked by another program (waited " +
                                   std::to_string(busyTimeoutMs_) + " ms)");
            case SQLITE_FULL:
                throw SqlError(SqlFault::Full, LedgerErrorKind::Unavailable,
                               where + " cannot grow: the disk is full");
            case SQLITE_NOTADB:
                throw SqlError(SqlFault::NotADatabase, LedgerErrorKind::Invalid,
                               where + " is not a ledger (not a database file)");
            case SQLITE_CORRUPT:
                throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                               where + " is damaged: " + detail);
            case SQLITE_READONLY:
            case SQLITE_CANTOPEN:
            case SQLITE_PERM:
            case SQLITE_IOERR:
                throw SqlError(SqlFault::Other, LedgerErrorKind::Unavailable,
                               where + " cannot be written: " + detail);
            case SQLITE_CONSTRAINT:
                if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
                    throw SqlError(SqlFault::Unique, LedgerErrorKind::Refused,
                                   where + ": " + detail);
                }
                throw SqlError(SqlFault::Other, LedgerErrorKind::Refused, where + ": " + detail);
            default:
                throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid, where + ": " + detail);
        }
    }

    std::string path_;
    int busyTimeoutMs_;
    bool create_;
    sqlite3* db_ = nullptr;
    bool durableNow_ = true;
    std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

}  // namespace

std::unique_ptr<SqlSession> OpenSqliteSession(const std::string& path, int busyTimeoutMs,
                                              bool create) {
    return std::make_unique<SqliteSession>(path, busyTimeoutMs, create);
}

}  // namespace bw::ledger
