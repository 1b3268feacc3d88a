#include "ledger/sqlite_session.h"

#include <sqlite3.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "image/regular_file.h"
#include "os/utf8_path.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace bw::ledger {
namespace {

// "file:" and the path with every byte that a URI would read otherwise escaped.
std::string FileUri(const std::string& path) {
    std::string uri = "file:";
    for (const unsigned char c : path) {
        if (std::isalnum(c) != 0 || std::strchr("/._-~", c) != nullptr) {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

// What the operating system said of the last failed file access, as the operator reads it.
std::string SystemCause(int error) {
    switch (error) {
        case 0:
            return {};
        case ENOSPC:
            return "the disk is full";
        case EROFS:
            return "the file system is mounted read-only";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EIO:
            return "the disk reports an input/output fault";
        default:
            return std::strerror(error);
    }
}

// Why this user cannot write the ledger's file or the folder its journal goes to; empty
// when it may (the cause is then elsewhere).
std::string WriteProblem(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return {};
#else
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    for (const std::string& place : {path, folder}) {
        if (access(place.c_str(), W_OK) == 0) continue;
        if (errno == ENOENT) continue;
        const std::string why = SystemCause(errno);
        return place == path ? why + " (the ledger file)" : why + " (its folder " + folder + ")";
    }
    return {};
#endif
}

class SqliteSession final : public SqlSession {
  public:
    SqliteSession(std::string path, const SqliteOptions& options)
        : path_(std::move(path)),
          busyTimeoutMs_(options.busyTimeoutMs),
          create_(options.create),
          readOnly_(options.readOnly) {
        stop_.check = options.stop;
        connect();
    }
    ~SqliteSession() override { disconnect(); }

    Dialect dialect() const override { return Dialect::Sqlite; }
    const std::string& where() const override { return path_; }
    // The same file named from another folder is the same ledger.
    std::string identity() const override {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(PathFromUtf8(path_), ec);
        return ec ? path_ : Utf8FromPath(absolute.lexically_normal());
    }

    void begin(TxMode mode) override {
        // Plain operation rows may wait for the next checkpoint; serial numbers may not.
        const bool durable = mode == TxMode::Durable;
        if (!readOnly_ && durable != durableNow_) {
            run(durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
            durableNow_ = durable;
        }
        run(mode == TxMode::Read || readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE");
    }
    void commit() override { run("COMMIT"); }
    void rollback() noexcept override {
        if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }

    // See BackupSqliteLedger.
    BackupFacts backupTo(const std::string& target);

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
        // A FIFO or a device in the ledger's place would block or take the pages elsewhere.
        const std::string problem = RegularFileProblem(path_, create_);
        if (problem == "is a folder") {
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           "ledger " + path_ + " is a folder, not a ledger file");
        }
        if (problem == "does not exist") {
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           "ledger " + path_ + " does not exist");
        }
        if (!problem.empty()) {
            throw SqlError(SqlFault::Other,
                           problem.rfind("folder", 0) == 0 ? LedgerErrorKind::Unavailable
                                                           : LedgerErrorKind::Invalid,
                           "ledger " + path_ + " cannot be opened: " + problem);
        }
        if (readOnly_) return openToRead();
        const int rc =
            sqlite3_open_v2(path_.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | (create_ ? SQLITE_OPEN_CREATE : 0), nullptr);
        if (rc != SQLITE_OK) {
            const std::string why =
                db_ != nullptr ? cause(sqlite3_errmsg(db_)) : sqlite3_errstr(rc);
            disconnect();
            throw SqlError(SqlFault::Other, LedgerErrorKind::Unavailable,
                           "ledger " + path_ + " cannot be opened: " + why);
        }
        prepareHandle();
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

    void prepareHandle() {
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_handler(db_, &SqliteSession::OnBusy, this);
    }

    // The read side (a supervisor's copy, a read-only file or folder): nothing is written,
    // the journal mode is left as it is. A WAL ledger in a folder this user cannot write has
    // no -shm file to share with stations; with no -wal content beside it the file alone is
    // the whole ledger and is read as it stands (immutable).
    void openToRead() {
        std::string why = openReading(SQLITE_OPEN_READONLY, path_);
        if (why.empty()) return;
        std::error_code ec;
        const auto wal = std::filesystem::file_size(path_ + "-wal", ec);
        if (ec || wal == 0) {
            why = openReading(SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                              FileUri(path_) + "?immutable=1");
            if (why.empty()) return;
        } else {
            why +=
                " (its -wal file holds changes this user cannot merge: the folder is"
                " read-only)";
        }
        throw SqlError(SqlFault::Other, LedgerErrorKind::Unavailable,
                       "ledger " + path_ + " cannot be read: " + why);
    }

    // Opens and reads the schema once; empty when that worked, else why not.
    std::string openReading(int flags, const std::string& name) {
        int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
        if (rc == SQLITE_OK) {
            prepareHandle();
            rc = sqlite3_exec(db_, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) return {};
            // Not a database, damaged: said as a writer would hear it.
            if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT) {
                try {
                    fail(rc, nullptr);
                } catch (...) {
                    disconnect();
                    throw;
                }
            }
        }
        const std::string why = db_ != nullptr ? cause(sqlite3_errmsg(db_)) : sqlite3_errstr(rc);
        disconnect();
        return why;
    }

    // SQLite's own words, or the operating system's where they name the cause better ("disk
    // I/O error" for a full disk, "unable to open database file" for a missing permission).
    std::string cause(const std::string& words) const {
        const std::string system = db_ != nullptr ? SystemCause(sqlite3_system_errno(db_)) : "";
        return system.empty() ? words : system;
    }

    // Waits for a lock another connection holds: the busy timeout, cut short by a stop.
    static int OnBusy(void* self, int count) {
        auto& session = *static_cast<SqliteSession*>(self);
        if (count == 0) {
            session.busyWait_.emplace(session.stop_,
                                      std::chrono::milliseconds(session.busyTimeoutMs_));
        }
        const long long left = session.busyWait_->leftMs();
        session.busyStopped_ = left == 0 && session.busyWait_->stopped();
        if (left == 0) return 0;
        // SQLite's own steps: short at first, then a few tens of milliseconds.
        const int step = count < 3 ? 1 : count < 6 ? 5 : count < 10 ? 10 : 25;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, step)));
        return 1;
    }

    // Changing the journal mode needs the file to itself, and SQLite may answer "busy" at once
    // there without asking the busy handler (stations opening a new ledger together), so the
    // busy timeout is kept here by hand.
    void SwitchToWal() {
        CallWait wait(stop_, std::chrono::milliseconds(busyTimeoutMs_));
        for (;;) {
            const int rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) return;
            const long long left = (rc & 0xFF) == SQLITE_BUSY ? wait.leftMs() : 0;
            busyStopped_ = left == 0 && wait.stopped();
            if (left == 0) fail(rc, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 5)));
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
        const int system = sqlite3_system_errno(db_);
        if (stmt != nullptr) sqlite3_reset(stmt);
        const std::string where = "ledger " + path_;
        if (system == ENOSPC) rc = SQLITE_FULL;  // an I/O error that is a full disk
        switch (rc & 0xFF) {
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
                if (busyStopped_) {
                    throw SqlError(SqlFault::Stopped, LedgerErrorKind::Unavailable,
                                   where +
                                       ": the wait for another program's lock was given up"
                                       " at the stop request");
                }
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
            case SQLITE_IOERR: {
                // The file system's own answer names the cause better than SQLite's words.
                std::string why = WriteProblem(path_);
                if (why.empty()) why = system != 0 ? SystemCause(system) : detail;
                throw SqlError(SqlFault::Other, LedgerErrorKind::Unavailable,
                               where + " cannot be written: " + why);
            }
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
    bool readOnly_;
    sqlite3* db_ = nullptr;
    bool durableNow_ = true;
    std::optional<CallWait> busyWait_;  // the lock wait in progress
    bool busyStopped_ = false;          // it was given up at a stop request
    std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

// One figure from the copy, or -1.
std::int64_t Figure(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        value = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    return value;
}

BackupFacts SqliteSession::backupTo(const std::string& target) {
    const std::string where = "ledger backup: " + target;
    std::error_code ec;
    if (std::filesystem::exists(target, ec) || std::filesystem::is_symlink(target, ec)) {
        throw SqlError(SqlFault::Other, LedgerErrorKind::Refused,
                       where + " exists: a backup never replaces a file");
    }
    if (const std::string problem = RegularFileProblem(target, true); !problem.empty()) {
        throw SqlError(SqlFault::Other, LedgerErrorKind::Refused, where + ": " + problem);
    }
    const std::string part = target + ".part";
    std::filesystem::remove(part, ec);
    sqlite3* copy = nullptr;
    BackupFacts facts;
    std::string failure;
    if (sqlite3_open_v2(part.c_str(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        failure = copy != nullptr ? sqlite3_errmsg(copy) : "out of memory";
    } else {
        sqlite3_extended_result_codes(copy, 1);
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db_, "main");
        if (backup == nullptr) {
            failure = sqlite3_errmsg(copy);
        } else {
            // All pages in one step: one read transaction on the ledger, so one moment of it.
            CallWait wait(stop_, std::chrono::milliseconds(busyTimeoutMs_));
            int rc;
            while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (wait.leftMs() == 0) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            sqlite3_backup_finish(backup);
            if (rc != SQLITE_DONE) failure = sqlite3_errstr(rc);
        }
        // The copy is one file: a rollback journal, whatever the ledger uses.
        if (failure.empty() && sqlite3_exec(copy, "PRAGMA journal_mode=DELETE", nullptr, nullptr,
                                            nullptr) != SQLITE_OK) {
            failure = sqlite3_errmsg(copy);
        }
        if (failure.empty()) {
            sqlite3_stmt* check = nullptr;
            sqlite3_prepare_v2(copy, "PRAGMA quick_check", -1, &check, nullptr);
            const bool ok =
                sqlite3_step(check) == SQLITE_ROW &&
                std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))) == "ok";
            sqlite3_finalize(check);
            if (!ok) failure = "the copy does not pass SQLite's check";
        }
        if (failure.empty()) {
            facts.schemaVersion = Figure(copy, "SELECT version FROM ledger_schema WHERE id = 1");
            facts.operations = Figure(copy, "SELECT COUNT(*) FROM operations");
            facts.numbers = Figure(copy, "SELECT COUNT(*) FROM serials");
        }
        const int system = sqlite3_system_errno(copy);
        if (!failure.empty() && system != 0) failure = SystemCause(system);
    }
    if (copy != nullptr) sqlite3_close_v2(copy);
    if (failure.empty()) {
        std::filesystem::rename(part, target, ec);
        if (ec) failure = ec.message();
    }
    if (!failure.empty()) {
        std::filesystem::remove(part, ec);
        throw SqlError(SqlFault::Other, LedgerErrorKind::Unavailable,
                       where + " cannot be written: " + failure);
    }
    return facts;
}

}  // namespace

BackupFacts BackupSqliteLedger(const std::string& path, const std::string& target,
                               const SqliteOptions& options) {
    SqliteOptions reading = options;
    reading.create = false;
    reading.readOnly = true;
    SqliteSession source(path, reading);
    return source.backupTo(target);
}

std::unique_ptr<SqlSession> OpenSqliteSession(const std::string& path,
                                              const SqliteOptions& options) {
    return std::make_unique<SqliteSession>(path, options);
}

std::unique_ptr<SqlSession> OpenSqliteSession(const std::string& path, int busyTimeoutMs,
                                              bool create) {
    SqliteOptions options;
    options.busyTimeoutMs = busyTimeoutMs;
    options.create = create;
    return OpenSqliteSession(path, options);
}

}  // namespace bw::ledger
