#include "ledger/postgres_session.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

namespace bw::ledger {

bool IsPostgresConnectionString(const std::string& text) {
    // The keyword form begins with a keyword and "=" ("host=... dbname=...").
    static const std::regex keywords(R"(^\s*[A-Za-z_]+\s*=)");
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0 ||
           std::regex_search(text, keywords);
}

namespace {

using Clock = std::chrono::steady_clock;

// libpq's own parser reads every accepted form; the keywords it returns are handed to the
// connection as they are, and give messages a name without the password.
struct ParsedConnection {
    std::vector<std::pair<std::string, std::string>> keywords;
    std::string where;  // "postgresql://user@host:port/db"
    int connectTimeoutS = 10;
};

std::string TrimmedLine(std::string text) {
    text = text.substr(0, text.find('\n'));
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

ParsedConnection ParseConnection(const std::string& text) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
    if (options == nullptr) {
        const std::string why = error != nullptr ? error : "out of memory";
        PQfreemem(error);
        throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                       "--ledger: \"" + text +
                           "\" is not a PostgreSQL connection string: " + TrimmedLine(why));
    }
    ParsedConnection parsed;
    std::string host = "localhost", port, db, user;
    bool timeout = false;
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        if (o->val == nullptr) continue;
        const std::string key = o->keyword, val = o->val;
        parsed.keywords.emplace_back(key, val);
        if (key == "host" || key == "hostaddr") host = val;
        if (key == "port") port = ":" + val;
        if (key == "dbname") db = val;
        if (key == "user") user = val + "@";
        if (key == "connect_timeout") {
            timeout = true;
            // libpq's own rule: no number or 0 waits for ever, less than 2 s is 2 s.
            const int seconds = std::atoi(val.c_str());
            parsed.connectTimeoutS = seconds <= 0 ? 0 : std::max(seconds, 2);
        }
    }
    PQconninfoFree(options);
    if (!timeout) parsed.keywords.emplace_back("connect_timeout", "10");
    parsed.where = "postgresql://" + user + host + port + "/" + db;
    return parsed;
}

// Waits until the socket can be read or written, at most `ms`. False when the time passed.
bool WaitForSocket(int socket, bool read, bool write, int ms) {
#ifdef _WIN32
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    const auto s = static_cast<SOCKET>(socket);
    if (read) FD_SET(s, &readable);
    if (write) FD_SET(s, &writable);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return select(0, &readable, &writable, nullptr, &wait) != 0;
#else
    pollfd entry{socket, static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
    return poll(&entry, 1, ms) != 0;  // an error shows in libpq's next call
#endif
}

struct ResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

class PostgresSession final : public SqlSession {
  public:
    PostgresSession(const std::string& connection, int lockTimeoutMs)
        : parsed_(ParseConnection(connection)), lockTimeoutMs_(lockTimeoutMs) {
        connect();
    }
    ~PostgresSession() override { disconnect(); }

    Dialect dialect() const override { return Dialect::Postgres; }
    const std::string& where() const override { return parsed_.where; }

    void begin(TxMode mode) override {
        // A connection that could not be made again is tried afresh at the next call.
        if (conn_ == nullptr) connect();
        // Rows that prove nothing may be acknowledged before they reach the disk.
        run(mode == TxMode::Durable ? "BEGIN" : "BEGIN; SET LOCAL synchronous_commit TO OFF");
    }
    void commit() override {
        const Result done = run("COMMIT");
        // A transaction that had failed ends with ROLLBACK, not with an error.
        if (std::string(PQcmdStatus(done.get())) == "ROLLBACK") {
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           "ledger " + parsed_.where + ": the transaction was rolled back");
        }
    }
    void rollback() noexcept override {
        if (conn_ == nullptr) return;
        const PGTransactionStatusType now = PQtransactionStatus(conn_);
        if (now == PQTRANS_IDLE) return;
        if (now == PQTRANS_INTRANS || now == PQTRANS_INERROR) {
            try {
                run("ROLLBACK");
                return;
            } catch (...) {
                // Dropped below: the server rolls back a connection that goes away.
            }
        }
        disconnect();
    }

    std::vector<SqlRow> query(std::string_view sql, const SqlParams& params) override {
        const Result result = run(sql, params);
        const int rows = PQntuples(result.get());
        const int columns = PQnfields(result.get());
        std::vector<SqlRow> out;
        out.reserve(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            std::vector<SqlValue> values;
            values.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result.get(), r, c)) {
                    values.emplace_back(std::monostate{});
                } else {
                    values.emplace_back(
                        std::string(PQgetvalue(result.get(), r, c),
                                    static_cast<std::size_t>(PQgetlength(result.get(), r, c))));
                }
            }
            out.emplace_back(std::move(values));
        }
        return out;
    }

    std::int64_t exec(std::string_view sql, const SqlParams& params) override {
        const Result result = run(sql, params);
        return std::atoll(PQcmdTuples(result.get()));  // "" (0) for other than rows
    }

    void reconnect() override {
        disconnect();
        connect();
    }

  private:
    std::string who() const { return "ledger " + parsed_.where; }

    // Connects without blocking, so that the wait is bounded by the connect timeout.
    void connect() {
        std::vector<const char*> keys, values;
        for (const auto& [key, value] : parsed_.keywords) {
            keys.push_back(key.c_str());
            values.push_back(value.c_str());
        }
        keys.push_back(nullptr);
        values.push_back(nullptr);
        conn_ = PQconnectStartParams(keys.data(), values.data(), 0);
        if (conn_ == nullptr) {
            throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                           who() + " cannot be reached: out of memory");
        }
        const auto deadline = parsed_.connectTimeoutS > 0
                                  ? Clock::now() + std::chrono::seconds(parsed_.connectTimeoutS)
                                  : Clock::time_point::max();
        // Before the first poll the socket is waited on as if the last answer were "writing".
        PostgresPollingStatusType step = PGRES_POLLING_WRITING;
        while (PQstatus(conn_) != CONNECTION_BAD && step != PGRES_POLLING_OK &&
               step != PGRES_POLLING_FAILED) {
            if (!await(step == PGRES_POLLING_READING, step == PGRES_POLLING_WRITING, deadline)) {
                disconnect();
                throw SqlError(SqlFault::TimedOut, LedgerErrorKind::Unavailable,
                               who() + " cannot be reached: no answer within " +
                                   std::to_string(parsed_.connectTimeoutS) + " s");
            }
            step = PQconnectPoll(conn_);
        }
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string why = TrimmedLine(PQerrorMessage(conn_));
            disconnect();
            throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                           who() + " cannot be reached: " + why);
        }
        PQsetnonblocking(conn_, 1);
        // Notices ("relation already exists, skipping") are not for the operator.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
        try {
            run("SET client_min_messages TO warning; SET lock_timeout TO " +
                std::to_string(lockTimeoutMs_));
        } catch (...) {
            disconnect();
            throw;
        }
    }

    void disconnect() noexcept {
        if (conn_ != nullptr) PQfinish(conn_);
        conn_ = nullptr;
    }

    // Waits for the connection's socket until the deadline; false when it passed.
    bool await(bool read, bool write, Clock::time_point deadline) {
        for (;;) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) return false;
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
            if (WaitForSocket(PQsocket(conn_), read, write,
                              static_cast<int>(std::min<long long>(ms + 1, kSliceMs)))) {
                return true;
            }
        }
    }

    // A statement with parameters ($1, ...), or without them one or more statements.
    Result run(std::string_view sql, const SqlParams& params = {}) {
        if (conn_ == nullptr) connect();
        const std::string statement(sql);
        int sent = 0;
        if (params.empty() && statement.find('$') == std::string::npos) {
            sent = PQsendQuery(conn_, statement.c_str());
        } else {
            std::vector<std::string> text(params.size());
            std::vector<const char*> values(params.size(), nullptr);
            for (std::size_t i = 0; i < params.size(); ++i) {
                if (const auto* n = std::get_if<std::int64_t>(&params[i])) {
                    text[i] = std::to_string(*n);
                    values[i] = text[i].c_str();
                } else if (const auto* s = std::get_if<std::string>(&params[i])) {
                    values[i] = s->c_str();
                }
            }
            sent = PQsendQueryParams(conn_, statement.c_str(), static_cast<int>(params.size()),
                                     nullptr, values.data(), nullptr, nullptr, 0);
        }
        if (sent == 0) lost(statement);
        return answer(statement);
    }

    // Sends what is queued and reads every result of the statement; throws on the first error.
    Result answer(const std::string& statement) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(callBoundMs());
        for (;;) {
            const int flushed = PQflush(conn_);
            if (flushed == 0) break;
            if (flushed < 0) lost(statement);
            if (!await(true, true, deadline)) silent(statement);
            if (PQconsumeInput(conn_) == 0) lost(statement);
        }
        Result last, error;
        for (;;) {
            while (PQisBusy(conn_) != 0) {
                if (!await(true, false, deadline)) silent(statement);
                if (PQconsumeInput(conn_) == 0) lost(statement);
            }
            Result next(PQgetResult(conn_));
            if (!next) break;
            const ExecStatusType status = PQresultStatus(next.get());
            const bool failed = status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE ||
                                status == PGRES_NONFATAL_ERROR;
            if (failed && !error) {
                error = std::move(next);
            } else if (!failed) {
                last = std::move(next);
            }
        }
        if (error) fail(error.get(), statement);
        if (!last) lost(statement);
        return last;
    }

    // The longest a statement may take before the server counts as silent: the lock wait the
    // server itself enforces, and time for the answer to come back.
    int callBoundMs() const { return lockTimeoutMs_ + 10000; }

    [[noreturn]] void lost(const std::string& statement) {
        const std::string why = TrimmedLine(PQerrorMessage(conn_));
        disconnect();
        if (statement == "COMMIT") {
            throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                           who() + ": the connection broke during a commit: " + why);
        }
        throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                       who() + " cannot be reached: " + why);
    }

    [[noreturn]] void silent(const std::string& statement) {
        disconnect();
        throw SqlError(SqlFault::TimedOut, LedgerErrorKind::Unavailable,
                       who() + " did not answer within " + std::to_string(callBoundMs() / 1000) +
                           " s" + (statement == "COMMIT" ? " to a commit" : "") +
                           ": the server or the network is silent");
    }

    // The server's error: its SQLSTATE gives the ledger's fault.
    [[noreturn]] void fail(const PGresult* result, const std::string& statement) {
        const char* code = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        const std::string state = code != nullptr ? code : "";
        const std::string message = TrimmedLine(PQresultErrorMessage(result));
        if (state.empty() || PQstatus(conn_) == CONNECTION_BAD) lost(statement);
        const std::string where = who();
        // 08: connection exception; 57P: the server is shutting down or restarting.
        if (state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0) {
            disconnect();
            throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                           where + " went away: " + message);
        }
        if (state.rfind("40", 0) == 0) {  // serialization failure, deadlock
            throw SqlError(SqlFault::Conflict, LedgerErrorKind::Unavailable,
                           where + ": " + message);
        }
        if (state == "53100") {
            throw SqlError(SqlFault::Full, LedgerErrorKind::Unavailable,
                           where + ": the server's disk is full");
        }
        if (state == "23505") {
            throw SqlError(SqlFault::Unique, LedgerErrorKind::Refused, where + ": " + message);
        }
        if (state == "55P03") {
            throw SqlError(SqlFault::Busy, LedgerErrorKind::Unavailable,
                           where + " is locked by another station (waited " +
                               std::to_string(lockTimeoutMs_) + " ms)");
        }
        if (state == "42501") {
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           where + ": the role may not use the ledger: " + message);
        }
        throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid, where + ": " + message);
    }

    // Waits are cut into slices, so that a deadline is kept to within one.
    static constexpr int kSliceMs = 100;

    ParsedConnection parsed_;
    int lockTimeoutMs_;
    PGconn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<SqlSession> OpenPostgresSession(const std::string& connection, int lockTimeoutMs) {
    return std::make_unique<PostgresSession>(connection, lockTimeoutMs);
}

}  // namespace bw::ledger
