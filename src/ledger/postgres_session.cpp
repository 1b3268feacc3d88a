#include "ledger/postgres_session.h"

#include <libpq-fe.h>

#include <pqxx/pqxx>
#include <regex>

namespace bw::ledger {

bool IsPostgresConnectionString(const std::string& text) {
    // The keyword form begins with a keyword and "=" ("host=... dbname=...").
    static const std::regex keywords(R"(^\s*[A-Za-z_]+\s*=)");
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0 ||
           std::regex_search(text, keywords);
}

namespace {

// libpq's own parser reads every accepted form; the keywords it returns give the
// connection a bounded connect time and give messages a name without the password.
struct ParsedConnection {
    std::string keywords;  // "key='value' ..." for libpq
    std::string where;     // "user@host:port/db"
};

std::string Quote(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

ParsedConnection ParseConnection(const std::string& text) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
    if (options == nullptr) {
        std::string why = error != nullptr ? error : "out of memory";
        PQfreemem(error);
        while (!why.empty() && why.back() == '\n') why.pop_back();
        throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                       "--ledger: \"" + text + "\" is not a PostgreSQL connection string: " + why);
    }
    ParsedConnection parsed;
    std::string host = "localhost", port, db, user;
    bool timeout = false;
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        if (o->val == nullptr) continue;
        const std::string key = o->keyword, val = o->val;
        parsed.keywords += key + "=" + Quote(val) + " ";
        if (key == "host" || key == "hostaddr") host = val;
        if (key == "port") port = ":" + val;
        if (key == "dbname") db = val;
        if (key == "user") user = val + "@";
        if (key == "connect_timeout") timeout = true;
    }
    PQconninfoFree(options);
    if (!timeout) parsed.keywords += "connect_timeout=10";
    parsed.where = "postgresql://" + user + host + port + "/" + db;
    return parsed;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

class PostgresSession final : public SqlSession {
  public:
    PostgresSession(const std::string& connection, int lockTimeoutMs)
        : parsed_(ParseConnection(connection)), lockTimeoutMs_(lockTimeoutMs) {
        connect();
    }
    ~PostgresSession() override { tx_.reset(); }

    Dialect dialect() const override { return Dialect::Postgres; }
    const std::string& where() const override { return parsed_.where; }

    void begin(TxMode mode) override {
        // A connection that could not be made again is tried afresh at the next call.
        if (!conn_) connect();
        guard([&] {
            tx_ = std::make_unique<pqxx::work>(*conn_);
            // Rows that prove nothing may be acknowledged before they reach the disk.
            if (mode != TxMode::Durable) tx_->exec("SET LOCAL synchronous_commit TO OFF");
            return 0;
        });
    }
    void commit() override {
        guard([&] {
            tx_->commit();
            return 0;
        });
        tx_.reset();
    }
    void rollback() noexcept override {
        try {
            tx_.reset();  // aborts
        } catch (...) {
            // The connection is gone; the server rolls back on its own.
        }
    }

    std::vector<SqlRow> query(std::string_view sql, const SqlParams& params) override {
        const pqxx::result result = run(sql, params);
        std::vector<SqlRow> rows;
        rows.reserve(result.size());
        for (const auto& r : result) {
            std::vector<SqlValue> values;
            values.reserve(r.size());
            for (const auto& field : r) {
                if (field.is_null()) {
                    values.emplace_back(std::monostate{});
                } else {
                    values.emplace_back(std::string(field.c_str(), field.size()));
                }
            }
            rows.emplace_back(std::move(values));
        }
        return rows;
    }

    std::int64_t exec(std::string_view sql, const SqlParams& params) override {
        return static_cast<std::int64_t>(run(sql, params).affected_rows());
    }

    void reconnect() override {
        tx_.reset();
        conn_.reset();
        connect();
    }

  private:
    void connect() {
        guard([&] {
            conn_ = std::make_unique<pqxx::connection>(parsed_.keywords);
            pqxx::nontransaction setup(*conn_);
            // Notices ("relation already exists, skipping") are not for the operator.
            setup.exec("SET client_min_messages TO warning");
            setup.exec("SET lock_timeout TO " + std::to_string(lockTimeoutMs_));
            return 0;
        });
    }

    pqxx::result run(std::string_view sql, const SqlParams& params) {
        if (!conn_) connect();
        return guard([&] {
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
            const std::string statement(sql);
            if (tx_) return tx_->exec_params(statement, pqxx::prepare::make_dynamic_params(values));
            pqxx::nontransaction once(*conn_);
            return once.exec_params(statement, pqxx::prepare::make_dynamic_params(values));
        });
    }

    // Every client call runs here: libpqxx's exception types become the ledger's faults.
    template <typename F>
    auto guard(F&& call) -> decltype(call()) {
        const std::string where = "ledger " + parsed_.where;
        try {
            return call();
        } catch (const pqxx::in_doubt_error& e) {
            tx_.reset();
            throw SqlError(
                SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                where + ": the connection broke during a commit: " + FirstLine(e.what()));
        } catch (const pqxx::broken_connection& e) {
            tx_.reset();
            throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                           where + " cannot be reached: " + FirstLine(e.what()));
        } catch (const pqxx::transaction_rollback& e) {
            tx_.reset();
            throw SqlError(SqlFault::Conflict, LedgerErrorKind::Unavailable,
                           where + ": " + FirstLine(e.what()));
        } catch (const pqxx::disk_full& e) {
            tx_.reset();
            throw SqlError(SqlFault::Full, LedgerErrorKind::Unavailable,
                           where + ": the server's disk is full");
        } catch (const pqxx::unique_violation& e) {
            tx_.reset();
            throw SqlError(SqlFault::Unique, LedgerErrorKind::Refused,
                           where + ": " + FirstLine(e.what()));
        } catch (const pqxx::sql_error& e) {
            tx_.reset();
            const std::string& state = e.sqlstate();
            // 08: connection exception; 57P: the server is shutting down or restarting.
            if (state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0) {
                throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                               where + " went away: " + FirstLine(e.what()));
            }
            if (state == "55P03") {
                throw SqlError(SqlFault::Busy, LedgerErrorKind::Unavailable,
                               where + " is locked by another station (waited " +
                                   std::to_string(lockTimeoutMs_) + " ms)");
            }
            if (state == "42501") {
                throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                               where + ": the role may not use the ledger: " + FirstLine(e.what()));
            }
            throw SqlError(SqlFault::Other, LedgerErrorKind::Invalid,
                           where + ": " + FirstLine(e.what()));
        } catch (const pqxx::failure& e) {
            tx_.reset();
            throw SqlError(SqlFault::ConnectionLost, LedgerErrorKind::Unavailable,
                           where + ": " + FirstLine(e.what()));
        }
    }

    ParsedConnection parsed_;
    int lockTimeoutMs_;
    std::unique_ptr<pqxx::connection> conn_;
    std::unique_ptr<pqxx::work> tx_;
};

}  // namespace

std::unique_ptr<SqlSession> OpenPostgresSession(const std::string& connection, int lockTimeoutMs) {
    return std::make_unique<PostgresSession>(connection, lockTimeoutMs);
}

}  // namespace bw::ledger
