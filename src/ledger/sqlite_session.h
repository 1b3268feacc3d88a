#pragma once
// The embedded ledger: one SQLite file in WAL mode, foreign keys on, commits of serial
// numbers synced to disk (synchronous=FULL), a busy timeout for a file another station holds.

#include <memory>
#include <string>

#include "ledger/sql_session.h"

namespace bw::ledger {

struct SqliteOptions {
    int busyTimeoutMs = 30000;  // a lock another connection holds
    bool create = true;         // false: a missing file is an error
    // Reading only (the read side, a backup): opened read-only, the journal mode left as it
    // is, so a file or folder the user may only read can be read.
    bool readOnly = false;
    StopCheck stop;  // cuts the lock wait short
};

// Opens (or creates) the file. Throws LedgerError when it cannot be opened or is no database.
std::unique_ptr<SqlSession> OpenSqliteSession(const std::string& path,
                                              const SqliteOptions& options);
std::unique_ptr<SqlSession> OpenSqliteSession(const std::string& path, int busyTimeoutMs,
                                              bool create = true);

// What a backup holds.
struct BackupFacts {
    std::int64_t schemaVersion = 0;
    std::int64_t operations = 0;
    std::int64_t numbers = 0;  // serial numbers in any state
};

// Copies the ledger at `path` into `target`, which must not exist yet: one file that holds
// everything (rollback journal, no -wal beside it), consistent as of one moment while
// stations go on writing (SQLite's backup API in a single step, under one read
// transaction), checked, synced, then given its name. Throws LedgerError.
BackupFacts BackupSqliteLedger(const std::string& path, const std::string& target,
                               const SqliteOptions& options);

}  // namespace bw::ledger
