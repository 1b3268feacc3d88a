#include "ledger/ledger.h"

#ifdef BINWRIGHT_LEDGER_POSTGRES
#include "ledger/postgres_session.h"
#endif
#ifdef BINWRIGHT_LEDGER_SQLITE
#include "ledger/sqlite_session.h"
#endif

namespace bw::ledger {

bool LedgerBackendsBuiltIn() {
#ifdef BINWRIGHT_LEDGER_SQLITE
    return true;
#else
    return false;
#endif
}

std::unique_ptr<Ledger> OpenLedger(const std::string& url, const LedgerOptions& options) {
    if (url.empty()) {
        throw LedgerError(LedgerErrorKind::Invalid,
                          "--ledger needs a file name or a PostgreSQL connection string");
    }
    const auto& migrations = options.migrations ? *options.migrations : BuiltInMigrations();
#ifdef BINWRIGHT_LEDGER_POSTGRES
    if (IsPostgresConnectionString(url)) {
        return std::make_unique<Ledger>(
            OpenPostgresSession(url, options.lockTimeoutMs, options.stop), migrations,
            options.create, options.readOnly);
    }
#endif
#ifdef BINWRIGHT_LEDGER_SQLITE
    SqliteOptions sqlite;
    sqlite.busyTimeoutMs = options.busyTimeoutMs;
    sqlite.create = options.create;
    sqlite.readOnly = options.readOnly;
    sqlite.stop = options.stop;
    return std::make_unique<Ledger>(OpenSqliteSession(url, sqlite), migrations, options.create,
                                    options.readOnly);
#else
    (void)migrations;
    throw LedgerError(LedgerErrorKind::Invalid,
                      "--ledger: this build of binwright has no ledger (it is built without"
                      " SQLite and PostgreSQL); the Linux build has both");
#endif
}

LedgerBackup BackupLedger(const std::string& url, const std::string& target) {
    LedgerOptions reading;
    reading.create = false;
    reading.readOnly = true;
    const std::string where = OpenLedger(url, reading)->where();  // a ledger, of a known schema
#ifdef BINWRIGHT_LEDGER_SQLITE
    if (IsPostgresConnectionString(url)) {
        throw LedgerError(LedgerErrorKind::Refused,
                          "ledger " + where +
                              " is backed up by its server's own tool, consistent while"
                              " stations write: pg_dump --format=custom --file=" +
                              target +
                              " with the same connection (its role needs SELECT on the"
                              " ledger's tables); pg_restore puts it back");
    }
    SqliteOptions sqlite;
    sqlite.busyTimeoutMs = reading.busyTimeoutMs;
    const BackupFacts facts = BackupSqliteLedger(url, target, sqlite);
    return {facts.schemaVersion, facts.operations, facts.numbers};
#else
    (void)target;
    throw LedgerError(LedgerErrorKind::Invalid, "ledger " + where + " cannot be copied here");
#endif
}

bool NamesLedgerFile(const std::string& url) {
#ifdef BINWRIGHT_LEDGER_POSTGRES
    return !IsPostgresConnectionString(url);
#else
    return true;  // no backend: whatever it names cannot be opened anyway
#endif
}

}  // namespace bw::ledger
