#pragma once
// The shared ledger of a line: a PostgreSQL database reached with any libpq connection
// string ("postgresql://...", "postgres://..." or "host=... dbname=...").

#include <memory>
#include <string>

#include "ledger/sql_session.h"

namespace bw::ledger {

// True for the forms libpq takes that are not a file name.
bool IsPostgresConnectionString(const std::string& text);

// Connects. Throws LedgerError: Invalid for a string libpq cannot parse, Unavailable when the
// server cannot be reached. lockTimeoutMs bounds a wait for another station's lock; every
// statement is bounded by it plus 5 s on the server (statement_timeout) and plus 10 s here
// (a server that does not answer at all); stop cuts any wait short, the connect's too.
std::unique_ptr<SqlSession> OpenPostgresSession(const std::string& connection, int lockTimeoutMs,
                                                StopCheck stop = {});

}  // namespace bw::ledger
