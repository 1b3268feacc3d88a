// A station's start on both backends: its lease (a second run under a live name refused, a
// holder that stopped replaced, a lease lost ends the numbers), its spool (a row the ledger
// could not take, on disk before the result is shown, handed over first at the next start)
// and a recovery that leaves alone what the spool settles.

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/cli_harness.h"
#include "ledger/ledger_backends.h"
#include "ledger/row_spool.h"
#include "ledger/station_lease.h"
#include "ledger/station_ledger.h"
#include "ledger/station_process.h"

namespace bw::ledger::test {
namespace {

using namespace std::chrono_literals;
using StationStart = LedgerBackendTest;

// Short terms, so that an expiry is waited for in a test's time.
constexpr LeaseTerms kQuick{800ms, 200ms};
// A lock held by another station is given up soon.
LedgerOptions Quick() {
    LedgerOptions options;
    options.busyTimeoutMs = options.lockTimeoutMs = 200;
    return options;
}

// The id of a process of this host that has ended: a crashed station's, to its lease.
std::int64_t EndedProcess() {
#ifdef _WIN32
    wchar_t system[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system, n) + L"\\cmd.exe\" /c exit 0";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &child))
        return 0;
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<std::int64_t>(child.dwProcessId);
#else
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    waitpid(ended, nullptr, 0);
    return ended;
#endif
}

std::string Thrown(const std::function<void()>& call) {
    try {
        call();
    } catch (const LedgerError& e) {
        return e.what();
    }
    return "no error";
}

// A station as a front end opens it: its lease on a connection of its own, its spool in
// the data folder given.
std::unique_ptr<StationLedger> OpenStation(const LedgerPlace& place, const std::string& data) {
    auto station = std::make_unique<StationLedger>(place.open(Quick()), "st-1");
    station->holdStation(
        [&place](const StopCheck& stop) {
            LedgerOptions own = Quick();
            own.stop = stop;
            return place.open(own);
        },
        data.empty() ? std::nullopt : std::optional<std::filesystem::path>(data), kQuick);
    return station;
}

// Holds the ledger as another station in the middle of its transaction would: SQLite all of
// it, PostgreSQL the rows of the numbers (a lease can still be claimed there).
std::unique_ptr<SqlSession> LockNumbers(const LedgerPlace& place) {
    auto other = place.raw();
    other->begin(TxMode::Write);
    if (place.backend() == Backend::Postgres) {
        other->query("SELECT number FROM serials FOR UPDATE");
        other->query("SELECT first_number FROM product_types FOR UPDATE");
    }
    return other;
}

int SpoolFiles(const std::optional<std::filesystem::path>& folder) {
    int files = 0;
    std::error_code ec;
    if (folder) {
        for (const auto& f : std::filesystem::directory_iterator(*folder, ec)) {
            files += f.path().extension() == ".json";
        }
    }
    return files;
}

// A numbered write that passed, up to its row: reserved, sent, then finish() with the
// ledger locked. False when finish() said the row is not recorded.
bool PassWhileLocked(StationLedger& station, const LedgerPlace& place) {
    const std::int32_t number = station.reserve(5);
    FactoryFields fields;
    fields.number = number;
    EXPECT_TRUE(station.recordMayGo(fields));
    OperationFacts facts;
    facts.outcome = Outcome::Pass;
    facts.factory = fields;
    facts.productNumber = number;
    const auto lock = LockNumbers(place);
    return station.finish(station.row(facts));
}

TEST_P(StationStart, ASecondRunUnderALiveNameIsRefusedNamingWhereAndSince) {
    std::vector<std::string> said;
    const auto say = [&](const std::string& line) { said.push_back(line); };
    auto first =
        std::make_unique<StationLease>(place().open(), "line-a-1", StopCheck{}, say, kQuick);
    const std::string refusal =
        Thrown([&] { StationLease second(place().open(), "line-a-1", StopCheck{}, say, kQuick); });
    EXPECT_NE(refusal.find("station line-a-1 runs already (host " + ThisHost() + ", process " +
                           std::to_string(ThisProcessId()) + ", since 20"),
              std::string::npos)
        << refusal;
    EXPECT_NE(refusal.find("--station-name"), std::string::npos) << refusal;
    ASSERT_EQ(said.size(), 1u);  // it watched the holder before refusing
    EXPECT_NE(said[0].find("to see whether it still runs"), std::string::npos) << said[0];
    // Another name is free; the name is given up at the end.
    EXPECT_NO_THROW(StationLease(place().open(), "line-a-2", StopCheck{}, say, kQuick));
    first.reset();
    EXPECT_FALSE(place().open()->stationHolder("line-a-1"));
}

TEST_P(StationStart, AHolderThatStoppedIsReplaced) {
    const std::int64_t ended = EndedProcess();
    ASSERT_GT(ended, 0);
    ASSERT_FALSE(ProcessRuns(ended));
    struct Row {
        const char* name;
        std::string host;
        std::int64_t process;
        std::int64_t leftMs;  // of its lease
        bool watched;         // the start waited for it
    };
    const std::vector<Row> rows = {
        {"a crash on this host: at once", ThisHost(), ended, 60000, false},
        {"another host that stopped renewing: at its expiry", "elsewhere", 1, 400, true},
        {"this host, its process still there: at its expiry", ThisHost(), ThisProcessId(), 400,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LedgerPlace fresh(GetParam());
        const StationHolder old{"old-token", row.host, row.process,
                                "2026-05-27T12:00:00.000+00:00"};
        ASSERT_TRUE(fresh.open()->claimStation("st-1", old, row.leftMs, nullptr).taken);
        int said = 0;
        StationLease lease(
            fresh.open(), "st-1", StopCheck{}, [&](const std::string&) { ++said; }, kQuick);
        ASSERT_TRUE(lease.previous());
        EXPECT_EQ(lease.previous()->token, "old-token");
        EXPECT_EQ(said > 0, row.watched);
        EXPECT_EQ(fresh.open()->stationHolder("st-1")->token, lease.token());
    }
}

TEST_P(StationStart, RecoveryLeavesAStationThatRunsAlone) {
    auto ledger = place().open();
    const StationLease running(place().open(), "st-1", StopCheck{}, {}, kQuick);
    const Reservation r = ledger->reserve(5, "st-1");
    ledger->markSending(r);
    // A second start under its name is refused before it looks at the reservation.
    auto second = OpenStation(place(), "");
    EXPECT_NE(Thrown([&] { second->recover(nullptr); }).find("runs already"), std::string::npos);
    RecoveryRules rules;
    rules.leaseToken = "not-the-holder";
    EXPECT_NE(
        Thrown([&] { ledger->recover("st-1", nullptr, rules); }).find("does not hold its lease"),
        std::string::npos);
    EXPECT_EQ(SerialsText(*ledger), "000001 sending");
}

// The start after a crash ends what the crashed run left and says which run that was.
TEST_P(StationStart, RecoveryNamesTheRunItEnds) {
    const std::int64_t ended = EndedProcess();
    ASSERT_GT(ended, 0);
    ASSERT_FALSE(ProcessRuns(ended));
    auto ledger = place().open();
    const StationHolder crashed{"crashed", ThisHost(), ended, "2026-05-27T06:00:00.000+00:00"};
    ASSERT_TRUE(ledger->claimStation("st-1", crashed, 60000, nullptr).taken);
    ledger->reserve(5, "st-1");
    const auto lines = OpenStation(place(), "")->recover(nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "released product number 000001 of type 0005: reserved when the"
              " station's last run (host " +
                  ThisHost() + ", process " + std::to_string(ended) +
                  ", since 2026-05-27T06:00:00.000+00:00) stopped, the mouse was not"
                  " touched");
}

// How a write that did not pass ends its number, by what reached the mouse: a gate whose
// wait a stop ended sends no record (released); a record cut short, or one that arrived
// before the read-back failed, leaves the number void with a note that says which.
TEST_P(StationStart, AStopAtTheGateOrInTheRecordSaysWhatTheMouseHolds) {
    struct Row {
        const char* name;
        bool gateStopped;
        bool recordArrived;
        const char* serial;
        const char* note;
    };
    const std::vector<Row> rows = {
        {"gate given up at an abort", true, false, "000001 released", ""},
        {"record cut short", false, false, "000001 void",
         "while the factory record was being sent"},
        {"record arrived, read-back failed", false, true, "000001 void",
         "after the factory record went out"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LedgerPlace fresh(GetParam());
        auto station = OpenStation(fresh, "");
        station->start();
        FactoryFields fields;
        fields.number = station->reserve(5);
        if (row.gateStopped) {
            const auto lock = LockNumbers(fresh);
            station->setStopCheck([] { return StopRequest::Abort; });
            EXPECT_FALSE(station->recordMayGo(fields));
            EXPECT_NE(station->whyHeld().find("given up at the stop request"), std::string::npos)
                << station->whyHeld();
            station->setStopCheck({});
        } else {
            EXPECT_TRUE(station->recordMayGo(fields));
        }
        OperationFacts facts;
        facts.outcome = row.gateStopped ? Outcome::Aborted : Outcome::Fail;
        facts.factory = fields;
        EXPECT_TRUE(station->finish(station->row(facts), row.recordArrived));
        auto ledger = fresh.open();
        EXPECT_EQ(SerialsText(*ledger), row.serial);
        EXPECT_NE(ledger->serials()[0].note.value_or("").find(row.note), std::string::npos);
    }
}

TEST_P(StationStart, ALostLeaseEndsTheNumbers) {
    auto station = OpenStation(place(), "");
    station->start();
    EXPECT_EQ(station->reserve(5), 1);
    // Another run took the name while this one could not renew it.
    place().raw()->exec("UPDATE station_leases SET token = 'other', host = 'elsewhere'");
    for (int i = 0; i < 250 && station->leaseLost().empty(); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_NE(station->leaseLost().find("another run took the name (host elsewhere"),
              std::string::npos);
    EXPECT_NE(Thrown([&] { station->reserve(5); }).find("this station gives no further number"),
              std::string::npos);
}

TEST(RowSpool, KeepsEveryRowWholeAndInOrder) {
    const bw::test::TempFolder data;
    RowSpool spool(RowSpool::FolderFor(data.file("d"), "ledger.db", "line a/1"));
    EXPECT_NE(spool.folder().filename().string().find("line_a_1-"), std::string::npos);
    std::vector<HeldRow> rows(4);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].end = static_cast<RowEnd>(i);
        rows[i].row = SampleRecord("write", i != 2);
        rows[i].row.durationMs = static_cast<std::int64_t>(i);
        if (i > 0) rows[i].reservation = Reservation{5, static_cast<std::int32_t>(i), 7};
    }
    rows[0].row.factory.reset();
    rows[0].row.productNumber.reset();
    rows[3].note = "void: cut";
    std::vector<std::string> names;
    for (const HeldRow& row : rows) names.push_back(spool.keep(row));
    std::ofstream(spool.folder() / "zz-cut.json") << "{\"end\": \"written\", \"row";
    std::vector<std::string> unreadable;
    const auto back = spool.rows(&unreadable);
    ASSERT_EQ(back.size(), rows.size());
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].rfind("zz-cut.json: ", 0), 0u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const HeldRow& a = rows[i];
        const HeldRow& b = back[i].second;
        EXPECT_EQ(back[i].first, names[i]);
        EXPECT_EQ(a.end, b.end);
        EXPECT_EQ(a.note, b.note);
        EXPECT_EQ(a.reservation.has_value(), b.reservation.has_value());
        if (a.reservation) {
            EXPECT_EQ(a.reservation->lease, b.reservation->lease);
        }
        EXPECT_EQ(std::tie(a.row.started, a.row.durationMs, a.row.station, a.row.devicePath,
                           a.row.imageSha256, a.row.productNumber, a.row.passed, a.row.reason,
                           a.row.caption),
                  std::tie(b.row.started, b.row.durationMs, b.row.station, b.row.devicePath,
                           b.row.imageSha256, b.row.productNumber, b.row.passed, b.row.reason,
                           b.row.caption));
        ASSERT_EQ(a.row.factory.has_value(), b.row.factory.has_value());
        if (a.row.factory) {
            EXPECT_EQ(std::tie(a.row.factory->date, a.row.factory->line, a.row.factory->station),
                      std::tie(b.row.factory->date, b.row.factory->line, b.row.factory->station));
        }
    }
    spool.remove(names[0]);
    EXPECT_EQ(spool.rows(nullptr).size(), rows.size() - 1);
}

// A mouse passed while the ledger could not take its row: the row is on the station's disk
// before finish() returns, and the next start hands it over before its recovery, which
// without it would void the number (the mouse at hand is gone). Where the ledger still
// cannot take it, recovery leaves the number alone.
TEST_P(StationStart, ARowTheLedgerCouldNotTakeGoesFirstAtTheNextStart) {
    for (const bool stillLocked : {false, true}) {
        SCOPED_TRACE(stillLocked ? "the numbers still locked at the next start" : "ledger back");
        // SQLite's lock holds the whole file, the lease's claim too.
        if (stillLocked && GetParam() == Backend::Sqlite) continue;
        LedgerPlace fresh(GetParam());
        const bw::test::TempFolder data;
        std::optional<std::filesystem::path> spool;
        {
            auto station = OpenStation(fresh, data.file("data"));
            EXPECT_TRUE(station->recover(nullptr).empty());
            EXPECT_FALSE(PassWhileLocked(*station, fresh));
            spool = station->spoolFolder();
            EXPECT_EQ(SpoolFiles(spool), 1);
            EXPECT_NE(station->heldRows().at(0).find("written: not recorded in the ledger (kept in"
                                                     " the spool)"),
                      std::string::npos);
        }  // the station ends without having recorded it, as a crash would end it
        const auto lock = stillLocked ? LockNumbers(fresh) : nullptr;
        auto next = OpenStation(fresh, data.file("data"));
        const std::vector<std::string> lines = next->recover(nullptr);
        ASSERT_FALSE(lines.empty());
        if (stillLocked) {
            EXPECT_NE(lines.back().find("left product number 000001 of type 0005 sending: the"
                                        " station's spool holds its row"),
                      std::string::npos)
                << lines.back();
            EXPECT_EQ(SpoolFiles(spool), 1);
            lock->rollback();
            EXPECT_TRUE(next->flush());
        } else {
            EXPECT_NE(lines[0].find("recorded the row the spool kept (write at "),
                      std::string::npos)
                << lines[0];
            EXPECT_NE(lines[0].find("product number 000001 of type 0005 written)"),
                      std::string::npos);
        }
        auto ledger = fresh.open();
        EXPECT_EQ(SerialsText(*ledger), "000001 written");
        EXPECT_TRUE(ledger->check().empty());
        EXPECT_EQ(SpoolFiles(spool), 0);
    }
}

// A number another process voided while its row waited in the spool (an older recovery):
// the passing row is recorded anyway and `ledger check` names the conflict.
TEST_P(StationStart, ASpooledRowWhoseNumberWasVoidedIsRecordedAndNamedByCheck) {
    const bw::test::TempFolder data;
    {
        auto station = OpenStation(place(), data.file("data"));
        station->start();
        EXPECT_FALSE(PassWhileLocked(*station, place()));
    }
    place().raw()->exec("UPDATE serials SET state = 'void', note = 'voided elsewhere'");
    auto next = OpenStation(place(), data.file("data"));
    const auto lines = next->start();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("could not end its number"), std::string::npos) << lines[0];
    auto ledger = place().open();
    ASSERT_EQ(ledger->operations().size(), 1u);
    EXPECT_TRUE(ledger->operations()[0].record.passed);
    const auto problems = ledger->check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("000001 of type 0005 went into a mouse (operation 1) but the"
                               " ledger holds it as void"),
              std::string::npos)
        << problems[0];
}

BW_LEDGER_BACKENDS(StationStart);

}  // namespace
}  // namespace bw::ledger::test
