// The schema version on both backends: a new database gets the current schema, an older
// one is migrated in one transaction, a newer one or a foreign database is refused.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ledger/ledger_backends.h"

namespace bw::ledger::test {
namespace {

using Schema = LedgerBackendTest;

void AddColourColumn(SqlSession& s) {
    s.exec("ALTER TABLE operations ADD COLUMN colour TEXT");
    s.exec("UPDATE operations SET colour = 'lime' WHERE passed = 1");
}

void BrokenStep(SqlSession& s) {
    s.exec("ALTER TABLE operations ADD COLUMN half_done TEXT");
    s.exec("ALTER TABLE no_such_table ADD COLUMN x TEXT");
}

LedgerOptions With(const std::vector<Migration>& migrations) {
    LedgerOptions options;
    options.migrations = &migrations;
    return options;
}

std::string Refusal(const LedgerPlace& place, const LedgerOptions& options) {
    try {
        place.open(options);
    } catch (const LedgerError& e) {
        EXPECT_EQ(e.kind(), LedgerErrorKind::Invalid);
        return e.what();
    }
    return "opened";
}

// The built-in schema's version.
int Current() {
    return BuiltInMigrations().back().version;
}

TEST_P(Schema, OlderSchemaIsMigratedAndItsRowsKept) {
    // From the first version through every built-in step to one more.
    const std::vector<Migration> v1 = {BuiltInMigrations().front()};
    std::vector<Migration> next = BuiltInMigrations();
    next.push_back({Current() + 1, AddColourColumn});
    {
        auto ledger = place().open(With(v1));
        EXPECT_EQ(ledger->schemaVersion(), 1);
        ledger->record(SampleRecord());
    }
    {
        // A reader reads an older schema as it is and migrates nothing.
        LedgerOptions reader = With(next);
        reader.create = false;
        reader.readOnly = true;
        EXPECT_EQ(place().open(reader)->schemaVersion(), 1);
        EXPECT_EQ(place().open(reader)->operations().size(), 1u);
    }
    auto migrated = place().open(With(next));
    EXPECT_EQ(migrated->schemaVersion(), Current() + 1);
    EXPECT_EQ(migrated->operations().size(), 1u);
    const auto colour = place().raw()->query("SELECT colour FROM operations");
    EXPECT_EQ(colour.at(0).text(0), "lime");
    EXPECT_TRUE(place().raw()->query("SELECT token FROM station_leases").empty());
    // The version 1 program now meets a newer schema.
    EXPECT_NE(Refusal(place(), With(v1))
                  .find("has schema version " + std::to_string(Current() + 1) +
                        "; this binwright knows up to version 1"),
              std::string::npos);
}

TEST_P(Schema, FailedMigrationIsUndone) {
    std::vector<Migration> broken = BuiltInMigrations();
    broken.push_back({Current() + 1, BrokenStep});
    place().open()->record(SampleRecord());
    EXPECT_NE(Refusal(place(), With(broken)).find("failed and was undone"), std::string::npos);
    auto ledger = place().open();
    EXPECT_EQ(ledger->schemaVersion(), Current());
    EXPECT_EQ(ledger->operations().size(), 1u);
    EXPECT_THROW(place().raw()->query("SELECT half_done FROM operations"), LedgerError);
}

TEST_P(Schema, ForeignDatabaseIsNotALedger) {
    place().raw()->exec("CREATE TABLE customers (id INTEGER, name TEXT)");
    EXPECT_NE(Refusal(place(), {}).find("is not a ledger: it holds other tables (customers)"),
              std::string::npos);
    EXPECT_EQ(place().raw()->query("SELECT COUNT(*) FROM customers").at(0).integer(0), 0);
}

TEST_P(Schema, StationsOpeningAFreshLedgerTogetherMigrateOnce) {
    std::vector<std::thread> stations;
    std::atomic<int> opened{0};
    for (int i = 0; i < 4; ++i) {
        stations.emplace_back([&] {
            if (place().open()->schemaVersion() == Current()) ++opened;
        });
    }
    for (auto& t : stations) t.join();
    EXPECT_EQ(opened, 4);
}

BW_LEDGER_BACKENDS(Schema);

}  // namespace
}  // namespace bw::ledger::test
