#include "ledger/ledger.h"

#ifdef BINWRIGHT_LEDGER_BACKENDS
#include "ledger/postgres_session.h"
#include "ledger/sqlite_session.h"
#endif

namespace bw::ledger {

bool LedgerBackendsBuiltIn() {
#ifdef BINWRIGHT_LEDGER_BACKENDS
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
#ifdef BINWRIGHT_LEDGER_BACKENDS
    if (IsPostgresConnectionString(url)) {
        return std::make_unique<Ledger>(OpenPostgresSession(url, options.busyTimeoutMs), migrations,
                                        options.create);
    }
    return std::make_unique<Ledger>(OpenSqliteSession(url, options.busyTimeoutMs, options.create),
                                    migrations, options.create);
#else
    (void)migrations;
    throw LedgerError(LedgerErrorKind::Invalid,
                      "--ledger: this build of binwright has no ledger (it is built without"
                      " SQLite and PostgreSQL); the Linux build has both");
#endif
}

bool NamesLedgerFile(const std::string& url) {
#ifdef BINWRIGHT_LEDGER_BACKENDS
    return !IsPostgresConnectionString(url);
#else
    return true;  // no backend: whatever it names cannot be opened anyway
#endif
}

}  // namespace bw::ledger
