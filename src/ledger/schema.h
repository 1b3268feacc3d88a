#pragma once
// The ledger's schema and its migrations. The version lives in the database
// (table ledger_schema); each migration takes it one step up, all in one transaction.

#include <string>
#include <vector>

#include "ledger/sql_session.h"

namespace bw::ledger {

struct Migration {
    int version;  // the version this migration produces: 1, 2, ...
    void (*apply)(SqlSession& session);
};

// The program's migrations; the last one's version is the schema this program writes.
const std::vector<Migration>& BuiltInMigrations();

// Creates an empty database's schema, migrates an older one, refuses a newer one or a
// database that holds other tables. Returns the version now in force.
// create false: an empty database is refused rather than given the schema. readOnly: an
// older schema is left as it is (the read side reads what every version holds).
int PrepareSchema(SqlSession& session, const std::vector<Migration>& migrations, bool create,
                  bool readOnly = false);

}  // namespace bw::ledger
