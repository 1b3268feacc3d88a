#pragma once
// The embedded ledger: one SQLite file in WAL mode, foreign keys on, commits of serial
// numbers synced to disk (synchronous=FULL), a busy timeout for a file another station holds.

#include <memory>
#include <string>

#include "ledger/sql_session.h"

namespace bw::ledger {

// Opens (or creates) the file. Throws LedgerError when it cannot be opened or is no database.
// create false: a missing file is an error.
std::unique_ptr<SqlSession> OpenSqliteSession(const std::string& path, int busyTimeoutMs,
                                              bool create = true);

}  // namespace bw::ledger
