// Operation rows keep every field on both backends, filters select by time and station,
// and `check` names each broken invariant of a damaged ledger.

#include <gtest/gtest.h>

#include "ledger/ledger_backends.h"
#include "ledger/ledger_time.h"

namespace bw::ledger::test {
namespace {

using Records = LedgerBackendTest;

TEST_P(Records, RowsKeepEveryFieldAndFiltersSelect) {
    auto ledger = place().open();
    OperationRecord full = SampleRecord();
    OperationRecord bare = SampleRecord("save", false);
    bare.station = "line-a-2";
    bare.started += std::chrono::hours{2};
    bare.devicePath = bare.imageName = bare.imageSha256 = "";
    bare.factory.reset();
    bare.productNumber.reset();
    bare.reason.reset();
    bare.factory = FactoryFields{0x0005, -1, 0, -1, -1, -1};  // a read-back past every list
    ledger->record(full);
    ledger->record(bare);

    const auto rows = ledger->operations();
    ASSERT_EQ(rows.size(), 2u);
    const OperationRecord& a = rows[0].record;
    EXPECT_EQ(UtcTimestamp(a.started), "2025-03-04T05:00:06.089+00:00");
    EXPECT_EQ(std::tie(a.durationMs, a.station, a.toolVersion, a.operation, a.icType, a.vid, a.pid),
              std::tie(full.durationMs, full.station, full.toolVersion, full.operation, full.icType,
                       full.vid, full.pid));
    EXPECT_EQ(std::tie(a.devicePath, a.imageName, a.imageSha256, a.productNumber, a.passed,
                       a.result, a.reason, a.caption),
              std::tie(full.devicePath, full.imageName, full.imageSha256, full.productNumber,
                       full.passed, full.result, full.reason, full.caption));
    ASSERT_TRUE(a.factory);
    EXPECT_EQ(std::tie(a.factory->type, a.factory->date, a.factory->number, a.factory->factory,
                       a.factory->line, a.factory->station),
              std::make_tuple(0x0005, 0x20250304, 0x2A, 2, 25, 7));
    const OperationRecord& b = rows[1].record;
    EXPECT_TRUE(b.devicePath.empty() && b.imageName.empty() && !b.productNumber && !b.reason);
    ASSERT_TRUE(b.factory);
    EXPECT_EQ(std::tie(b.factory->date, b.factory->factory, b.factory->line, b.factory->station),
              std::make_tuple(-1, -1, -1, -1));

    OperationFilter later;
    later.since = full.started + std::chrono::hours{1};
    EXPECT_EQ(ledger->operations(later).size(), 1u);
    OperationFilter station;
    station.station = "line-a-1";
    EXPECT_EQ(ledger->operations(station).size(), 1u);
}

TEST_P(Records, CheckNamesEachBrokenInvariant) {
    struct Row {
        const char* name;
        const char* damage;  // SQL run on a sound ledger with numbers 1 and 2 written
        const char* problem;
    };
    const std::vector<Row> rows = {
        {"sound", "", ""},
        {"dangling", "UPDATE serials SET state = 'sending' WHERE number = 2",
         "product number 000002 of type 0005 is a dangling reservation: sending by station st1"},
        {"written without a passing row",
         "UPDATE operations SET passed = 0 WHERE product_number = 1",
         "product number 000001 of type 0005 is marked written but has no passing row"},
        {"written twice", "UPDATE operations SET product_number = 1, factory_number = 1",
         "product number 000001 of type 0005 was written 2 times"},
        {"a mouse's number released",
         "UPDATE serials SET state = 'released', operation_id = NULL WHERE number = 2",
         "product number 000002 of type 0005 went into a mouse (operation 2) but the ledger holds "
         "it as released"},
        {"never reserved", "DELETE FROM serials WHERE number = 2",
         "went into a mouse (operation 2) but the ledger holds it as never reserved"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LedgerPlace fresh(GetParam());
        auto ledger = fresh.open();
        for (int i = 0; i < 2; ++i) {
            const Reservation r = ledger->reserve(5, "st1");
            OperationRecord op = SampleRecord();
            op.productNumber = op.factory->number = r.number;
            ledger->markSending(r);
            ledger->commitWritten(r, op);
        }
        if (*row.damage != '\0') fresh.raw()->exec(row.damage);
        const auto problems = ledger->check();
        if (*row.problem == '\0') {
            EXPECT_TRUE(problems.empty());
            continue;
        }
        std::string all;
        for (const auto& p : problems) all += p + "\n";
        EXPECT_NE(all.find(row.problem), std::string::npos) << all;
    }
}

BW_LEDGER_BACKENDS(Records);

TEST(LedgerTime, StoredAndTypedForms) {
    using namespace std::chrono;
    const auto base = sys_days{year{2025} / 3 / 4} + hours{5} + minutes{6} + seconds{7};
    struct Row {
        const char* text;
        std::optional<system_clock::time_point> when;
    };
    const std::vector<Row> rows = {
        {"2025-03-04T05:06:07.089+00:00", base + milliseconds{89}},
        {"2025-03-04T05:06:07Z", base},
        {"2025-03-04 07:06:07+02:00", base},
        {"2025-03-04T00:06:07-0500", base},
        {"2025-03-04T05:06Z", base - seconds{7}},
        {"2025-02-30", std::nullopt},
        {"2025-03-04T24:00Z", std::nullopt},
        {"yesterday", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseTimestamp(row.text), row.when);
    }
    EXPECT_EQ(UtcTimestamp(base + milliseconds{89}), "2025-03-04T05:06:07.089+00:00");
    EXPECT_EQ(ParseTimestamp(UtcTimestamp(base)), base);
}

}  // namespace
}  // namespace bw::ledger::test
