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

// libpq's own parser reads every accepted form; the keywords it returns are handed to the
// connection as they are, and give messages a name without the password.
struct ParsedConnection {
    std::vector<std::pair<std::string, std::string>> keywords;
    std::string where;     // "postgresql://user@host:port/db"
    std::string identity;  // where and the options that select the data (search_path)
    int connectTimeoutS = 10;
};

// What a connection gets unless its string says otherwise: a bounded connect, and TCP
// keepalives and a user timeout, so that a server cut off between two mice is noticed by
// the kernel (about 25 s) instead of after its retransmissions (many minutes).
constexpr std::pair<const char*, const char*> kConnectionDefaults[] = {
    {"connect_timeout", "10"},    {"keepalives", "1"},       {"keepalives_idle", "10"},
    {"keepalives_interval", "5"}, {"keepalives_count", "3"}, {"tcp_user_timeout", "20000"},
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
    std::string host = "localhost", port, db, user, selects;
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        if (o->val == nullptr) continue;
        const std::string key = o->keyword, val = o->val;
        parsed.keywords.emplace_back(key, val);
        if (key == "host" || key == "hostaddr") host = val;
        if (key == "port") port = ":" + val;
        if (key == "dbname") db = val;
        if (key == "user") user = val + "@";
        if (key == "options") selects = "?options=" + val;
        if (key == "connect_timeout") {
            // libpq's own rule: no number or 0 waits for ever, less than 2 s is 2 s.
            const int seconds = std::atoi(val.c_str());
            parsed.connectTimeoutS = seconds <= 0 ? 0 : std::max(seconds, 2);
        }
    }
    PQconninfoFree(options);
    for (const auto& fallback : kConnectionDefaults) {
        const bool given = std::any_of(parsed.keywords.begin(), parsed.keywords.end(),
                                       [&](const auto& kv) { return kv.first == fallback.first; });
        if (!given) parsed.keywords.emplace_back(fallback.first, fallback.second);
    }
    parsed.where = "postgresql://" + user + host + port + "/" + db;
    parsed.identity = parsed.where + selects;
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
    PostgresSession(const std::string& connection, int lockTimeoutMs, StopCheck stop)
        : parsed_(ParseConnection(connection)), lockTimeoutMs_(lockTimeoutMs) {
        stop_.check = std::move(stop);
        connect();
    }
    ~PostgresSession() override { disconnect(); }

    Dialect dialect() const override { return Dialect::Postgres; }
    const std::string& where() const override { return parsed_.where; }
    std::string identity() const override { return parsed_.identity; }

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
        // connect_timeout=0 waits as long as anything may: a day.
        CallWait wait(stop_,
                      std::chrono::seconds(parsed_.connectTimeoutS > 0 ? parsed_.connectTimeoutS
                                                                       : 24 * 3600));
        // Before the first poll the socket is waited on as if the last answer were "writing".
        PostgresPollingStatusType step = PGRES_POLLING_WRITING;
        while (PQstatus(conn_) != CONNECTION_BAD && step != PGRES_POLLING_OK &&
               step != PGRES_POLLING_FAILED) {
            if (!await(step == PGRES_POLLING_READING, step == PGRES_POLLING_WRITING, wait)) {
                disconnect();
                if (wait.stopped()) stopped();
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
        // The server's own bounds: a lock wait, a statement (the lock wait and a margin),
        // and a transaction left open by a station that went away (its locks are freed).
        try {
            run("SET client_min_messages TO warning; SET lock_timeout TO " +
                std::to_string(lockTimeoutMs_) + "; SET statement_timeout TO " +
                std::to_string(statementTimeoutMs()) +
                "; SET idle_in_transaction_session_timeout TO " +
                std::to_string(kIdleInTransactionMs));
        } catch (...) {
            disconnect();
            throw;
        }
    }

    void disconnect() noexcept {
        if (conn_ != nullptr) PQfinish(conn_);
        conn_ = nullptr;
    }

    // Waits for the connection's socket; false when the call's wait is over (its bound, or a
    // stop request).
    bool await(bool read, bool write, CallWait& wait) {
        for (;;) {
            const long long left = wait.leftMs();
            if (left == 0) return false;
            if (WaitForSocket(PQsocket(conn_), read, write,
                              static_cast<int>(std::min<long long>(left, kSliceMs)))) {
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
        CallWait wait(stop_, std::chrono::milliseconds(callBoundMs()));
        for (;;) {
            const int flushed = PQflush(conn_);
            if (flushed == 0) break;
            if (flushed < 0) lost(statement);
            if (!await(true, true, wait)) silent(statement, wait);
            if (PQconsumeInput(conn_) == 0) lost(statement);
        }
        Result last, error;
        for (;;) {
            while (PQisBusy(conn_) != 0) {
                if (!await(true, false, wait)) silent(statement, wait);
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

    int statementTimeoutMs() const { return lockTimeoutMs_ + 5000; }
    // The longest a statement may take before the server counts as silent: its own timeout,
    // and time for the server's answer to come back.
    int callBoundMs() const { return statementTimeoutMs() + 5000; }

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

    [[noreturn]] void stopped() {
        throw SqlError(SqlFault::Stopped, LedgerErrorKind::Unavailable,
                       who() + ": the wait for the server was given up at the stop request");
    }

    // The wait for an answer is over: the connection cannot be used for another statement
    // while this one's answer may still come, so it goes.
    [[noreturn]] void silent(const std::string& statement, const CallWait& wait) {
        disconnect();
        if (wait.stopped()) stopped();
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
        if (state == "57014") {  // statement_timeout
            throw SqlError(SqlFault::TimedOut, LedgerErrorKind::Unavailable,
                           where + ": a statement ran past " +
                               std::to_string(statementTimeoutMs() / 1000) +
                               " s and the server ended it");
        }
        if (state == "42501") {
            const char* role = PQuser(conn_);
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           where + ": the role " + (role != nullptr ? role : "") +
                               " lacks a permission the ledger needs (" + message +
                               "): reading needs SELECT on the ledger's tables, a station also"
                               " INSERT and UPDATE");
        }
        throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid, where + ": " + message);
    }

    // Waits are cut into slices, so that a deadline is kept to within one.
    static constexpr int kSliceMs = 100;
    static constexpr int kIdleInTransactionMs = 60000;

    ParsedConnection parsed_;
    int lockTimeoutMs_;
    PGconn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<SqlSession> OpenPostgresSession(const std::string& connection, int lockTimeoutMs,
                                                StopCheck stop) {
    return std::make_unique<PostgresSession>(connection, lockTimeoutMs, std::move(stop));
}

}  // namespace bw::ledger
