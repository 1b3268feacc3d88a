// The read side: the summary's figures, `binwright ledger ...` exit codes and output,
// and the HTML report as a real browser renders it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_harness.h"
#include "ledger/ledger_backends.h"
#include "ledger/ledger_report.h"
#include "ledger/ledger_summary.h"
#include "ledger/shift.h"
#include "production/production_log.h"

namespace bw::ledger::test {
namespace {

using namespace std::chrono;

OperationRow Write(const char* station, int minute, bool pass, std::int32_t number,
                   const char* reason = nullptr) {
    OperationRow row;
    row.record = SampleRecord("write", pass);
    row.record.station = station;
    row.record.started = sys_days{year{2025} / 3 / 4} + hours{8} + minutes{minute};
    row.record.durationMs = 60000;
    row.record.productNumber = row.record.factory->number = number;
    row.record.reason = reason ? std::optional<std::string>(reason) : std::nullopt;
    return row;
}

TEST(LedgerSummary, FiguresPerStationAndType) {
    std::vector<OperationRow> rows = {
        Write("st1", 0, true, 1),  Write("st1", 10, false, 2, "mismatch"),
        Write("st1", 20, true, 2), Write("st1", 29, true, 3),
        Write("st2", 5, false, 4), Write("st2", 15, false, 4, "no-answer"),
        Write("st2", 25, true, 4),
    };
    OperationRow verify = Write("st1", 40, true, 9);
    verify.record.operation = "verify";  // not a mouse written
    rows.push_back(verify);
    OperationRow other = Write("st1", 50, true, 1);
    other.record.factory->type = 6;
    rows.push_back(other);

    const auto s = Summarize(rows);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(std::tie(s[0].station, s[0].attempts, s[0].written), std::make_tuple("st1", 4, 3));
    EXPECT_EQ(s[0].productType, 5);
    EXPECT_DOUBLE_EQ(s[0].firstPassYield(), 0.75);
    EXPECT_EQ(s[0].failures, (std::map<std::string, int>{{"mismatch", 1}}));
    EXPECT_EQ(s[0].lastNumber, 3);
    ASSERT_TRUE(s[0].micePerHour());
    EXPECT_DOUBLE_EQ(*s[0].micePerHour(), 3 / 0.5);  // 08:00 to 08:30
    EXPECT_EQ(s[1].productType, 6);
    EXPECT_FALSE(s[1].micePerHour());  // one mouse is no rate
    EXPECT_EQ(s[2].failures, (std::map<std::string, int>{{"Write Fail", 1}, {"no-answer", 1}}));

    const auto reasons = FailureReasons(rows);
    EXPECT_EQ(reasons.size(), 3u);
    const std::string text = FormatSummary(s);
    EXPECT_NE(text.find("st1              0005      3    75.0%       6.0      000003  mismatch 1"),
              std::string::npos)
        << text;
}

TEST(LedgerSummary, HoursWithoutWritesStayInTheChart) {
    const std::vector<OperationRow> rows = {Write("st1", 0, true, 1), Write("st1", 5, false, 2),
                                            Write("st1", 185, true, 2)};
    const auto hoursSeen = TotalsByHour(rows);
    ASSERT_EQ(hoursSeen.size(), 4u);
    EXPECT_EQ(std::tie(hoursSeen[0].written, hoursSeen[0].failed), std::make_tuple(1, 1));
    EXPECT_EQ(hoursSeen[1].written + hoursSeen[1].failed + hoursSeen[2].written, 0);
    EXPECT_EQ(hoursSeen[3].written, 1);
}

class LedgerCli : public ::testing::Test {
  protected:
    void SetUp() override {
        place_ = std::make_unique<LedgerPlace>(Backend::Sqlite, true);
        ShiftPlan plan;
        plan.stations = 2;
        plan.hours = 2;
        plan.secondsPerMouse = 600;
        plan.start = sys_days{year{2025} / 3 / 4} + hours{8};
        cycles_ = RecordShift(*place_->open(), plan);
    }
    bw::test::CliResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"ledger"});
        args.push_back("--ledger=" + place_->url());
        return bw::test::RunArgs(args);
    }
    std::unique_ptr<LedgerPlace> place_;
    int cycles_ = 0;
};

TEST_F(LedgerCli, ExitCodesAndMessages) {
    const bw::test::TempFolder out;  // outlives the fresh ledger of each row
    struct Row {
        std::vector<std::string> args;
        const char* damage;  // SQL run first
        int code;
        const char* text;  // in stdout or stderr
    };
    const std::vector<Row> rows = {
        {{"check"}, "", 0, "is sound: "},
        {{"check"},
         "UPDATE serials SET state = 'reserved' WHERE number = 3",
         1,
         "000003 of type 0005 is a dangling reservation"},
        {{"summary", "--since", "2025-03-04T09:00Z"}, "", 0, "line-a-1"},
        {{"summary", "--station", "nobody"}, "", 0, "no writes recorded"},
        {{"summary", "--since", "tomorrow"}, "", 2, "--since: \"tomorrow\" is not a time"},
        {{"report", "--html", "/no/such/folder/r.html"}, "", 2, "cannot be written"},
        {{"check"},
         "UPDATE ledger_schema SET version = 9",
         2,
         "has schema version 9; this binwright knows up to version "},
        // A mouse passed with a number that a recovery voided: named, not "sound".
        {{"check"},
         "UPDATE serials SET state = 'void' WHERE number = 3",
         1,
         "000003 of type 0005 went into a mouse (operation"},
        {{"summary", "--since", "2300-01-01"}, "", 2, "\"2300-01-01\" is outside the years"},
        {{"report", "--html", out.file("far.html"), "--since", "1000-01-01T00:00Z"},
         "",
         2,
         "is outside the years this binwright counts (1678 to 2261)"},
        {{"summary", "--since", "2261-12-31"}, "", 0, "no writes recorded"},
        {{"backup", out.file("copy.db")}, "", 0, "as one file (schema version "},
        {{"backup", out.file("copy.db"), "--json"}, "", 2, "exists: a backup never replaces"},
        {{"backup", out.file("no/such/copy.db")}, "", 2, "does not exist"},
        {{"export"}, "", 2, "--csv is required"},
        {{"check", "--json"}, "", 0, "\"sound\":true,\"problems\":[],"},
        {{"check", "--json"},
         "UPDATE serials SET state = 'reserved' WHERE number = 3",
         1,
         "\"sound\":false,\"problems\":[\"product number 000003 of type 0005 went into"},
        {{"summary", "--json"}, "", 0, "{\"station\":\"line-a-1\",\"product_type\":\"0005\""},
        {{"report", "--html", out.file("r.html"), "--json"}, "", 0, "\"file\":"},
        {{"export", "--csv", out.file("e.csv"), "--json"}, "", 0, "\"operations\":"},
        {{"export", "--csv", "--json"}, "", 2, "\"error\":\"--json needs --csv FILE"},
        {{"summary", "--since", "tomorrow", "--json"}, "", 2, "\"error\":\"--since: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.front() + " " + row.damage);
        if (*row.damage != '\0') place_->raw()->exec(row.damage);
        const auto r = Cli(row.args);
        EXPECT_EQ(r.code, row.code) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(row.text), std::string::npos) << r.out << r.err;
        // With --json stdout is JSON lines only, each naming its exit code or its figures.
        if (std::find(row.args.begin(), row.args.end(), "--json") != row.args.end()) {
            std::istringstream lines(r.out);
            int count = 0;
            for (std::string line; std::getline(lines, line); ++count) {
                EXPECT_TRUE(nlohmann::json::accept(line)) << line;
            }
            EXPECT_GT(count, 0);
        }
        SetUp();  // a fresh, sound ledger for the next row
    }
    const auto missing =
        bw::test::RunArgs({"ledger", "summary", "--ledger", place_->file("none.db")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_FALSE(std::filesystem::exists(place_->file("none.db")));  // not made by a read
}

// A backup taken while a station writes: one file, the committed rows (those still in the
// -wal file too), none of a transaction in progress, read and checked on its own.
TEST_F(LedgerCli, BackupIsOneConsistentFileWhileAStationWrites) {
    auto station = place_->open();
    station->record(SampleRecord("verify"));  // committed, still in the -wal file
    ASSERT_TRUE(std::filesystem::exists(place_->url() + "-wal"));
    auto writer = place_->raw();
    writer->begin(TxMode::Write);
    writer->exec("UPDATE operations SET station_name = 'undone'");  // not committed
    const bw::test::TempFolder out;
    const auto r = Cli({"backup", out.file("copy.db")});
    writer->rollback();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("wrote " + out.file("copy.db") + ": a copy of ledger"), std::string::npos)
        << r.out;
    EXPECT_FALSE(std::filesystem::exists(out.file("copy.db-wal")));
    EXPECT_FALSE(std::filesystem::exists(out.file("copy.db.part")));
    LedgerOptions reading;
    reading.create = false;
    reading.readOnly = true;
    const auto rows = OpenLedger(out.file("copy.db"), reading)->operations();
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(cycles_) + 1);
    EXPECT_TRUE(std::none_of(rows.begin(), rows.end(),
                             [](const OperationRow& r) { return r.record.station == "undone"; }));
    EXPECT_FALSE(std::filesystem::exists(out.file("copy.db-wal")));  // read as one file
    EXPECT_EQ(bw::test::RunArgs({"ledger", "check", "--ledger", out.file("copy.db")}).code, 0);
}

TEST_F(LedgerCli, ExportWritesTheCsvLogsColumns) {
    const auto r = Cli({"export", "--csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string header, first;
    std::getline(lines, header);
    std::getline(lines, first);
    EXPECT_EQ(header, kLogHeader);
    const auto row = place_->open()->operations().front().record;
    LogEntry entry{
        row.started,       row.icType, row.vid,        row.pid,         row.operation,
        row.productNumber, row.result, row.durationMs, row.imageSha256, row.reason.value_or("")};
    EXPECT_EQ(first, FormatLogLine(entry));
    int count = 1;
    for (std::string line; std::getline(lines, line);) ++count;
    EXPECT_EQ(count, cycles_);

    const auto toFile = Cli({"export", "--csv", place_->file("out.csv")});
    ASSERT_EQ(toFile.code, 0) << toFile.err;
    std::ifstream file(place_->file("out.csv"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), r.out);
}

// The report of a shift in headless Chromium: it must render, with no console message.
// BINWRIGHT_REPORT_PICTURE=FILE keeps the screenshot (scripts/ledger_report_screenshot.sh).
TEST(LedgerReport, RendersInABrowserWithoutConsoleErrors) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
    }
    LedgerPlace place(Backend::Sqlite, true);
    ShiftPlan plan;
    plan.start = sys_days{year{2025} / 3 / 4} + hours{6};
    auto ledger = place.open();
    RecordShift(*ledger, plan);
    const std::string html =
        RenderHtmlReport(ledger->operations(), {"line-a.db", "", plan.start + hours{9}});
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("://"), std::string::npos);  // nothing fetched from anywhere
    std::ofstream(place.file("report.html")) << html;

    const char* kept = std::getenv("BINWRIGHT_REPORT_PICTURE");
    const std::string picture = kept ? kept : place.file("report.png");
    const std::string command =
        "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --hide-scrollbars --enable-logging=stderr --v=0 --user-data-dir=" +
        place.file("profile") + " --window-size=1000,1000 --screenshot=" + picture + " file://" +
        place.file("report.html") + " >" + place.file("browser.log") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream log(place.file("browser.log"));
    const std::string output((std::istreambuf_iterator<char>(log)), {});
    EXPECT_EQ(output.find("Uncaught"), std::string::npos) << output;
    EXPECT_EQ(output.find(":CONSOLE("), std::string::npos) << output;
    ASSERT_TRUE(std::filesystem::exists(picture)) << output;
    EXPECT_GT(std::filesystem::file_size(picture), 20000u);  // a page, not a blank
}

}  // namespace
}  // namespace bw::ledger::test
