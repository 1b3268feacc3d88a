// The command line on the ledger, both backends: numbers for writes with the factory record,
// refusals that leave the mouse untouched, failures that release or void, recovery at the
// start, rows of every command, a restart of run, and a ledger that goes away during run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "cli/cli_harness.h"
#include "frontend/command_ledger.h"
#include "image/factory_record.h"
#include "image/image_identity.h"
#include "ledger/ledger_backends.h"
#include "ledger/ledger_summary.h"
#include "production/result_text.h"

namespace bw::ledger::test {
namespace {

using ::bw::test::ReadBytes;
using ::bw::test::RunArgs;
using ::testing::HasSubstr;

constexpr std::int32_t kType = 0x0005;

class Station : public LedgerBackendTest {
  protected:
    void SetUp() override {
        LedgerBackendTest::SetUp();
        if (IsSkipped()) return;
        image = ::bw::test::PatternImage(14);
        ::bw::test::WriteImageFile(place().file("image.bin"), image);
        ::bw::test::WriteImageFile(place().file("zero.bin"), Image{});
    }

    // "@" is the image, "%L" the ledger, "mouse:K" a simulated mouse starting from zeros
    // (or the memory file given in K) and dumped at the end, "line:K" a line of mice.
    std::vector<std::string> Args(const std::string& text, const std::string& url) {
        std::vector<std::string> args;
        std::istringstream words(text);
        for (std::string a; words >> a;) {
            if (a == "@") a = place().file("image.bin");
            if (a == "%L") a = url;
            if (a.rfind("mouse:", 0) == 0) {
                const std::string memory = a.size() > 6 ? a.substr(6) : "zero.bin";
                a = "--simulate=memory=" + place().file(memory) + ",dump=" + place().file("m");
            }
            if (a.rfind("line:", 0) == 0) a = "--simulate=" + a.substr(5);
            args.push_back(a);
        }
        return args;
    }

    // The product number in the dumped mouse, as six hex digits.
    std::string MouseNumber() {
        const auto m = ReadBytes(place().file("m"));
        if (m.size() != 2048u) return "no dump";
        return NumberText(m[166] * 65536 + m[167] * 256 + m[168]);
    }

    Image image{};
};

// The image with the record of number 1 of type 5 in it: a mouse that was written.
void WriteHeldImage(const std::string& path, Image image) {
    FactoryFields fields;
    fields.number = 1;
    const FactoryRecordBytes record = BuildFactoryRecord(fields);
    std::copy(record.begin(), record.end(), image.begin() + FactoryRecordOffset);
    ::bw::test::WriteImageFile(path, image);
}

TEST_P(Station, CommandsTakeTheirNumbersFromTheLedger) {
    struct Step {
        const char* args;
        int code;
        const char* err;    // a part of stderr; "" for any
        const char* mouse;  // the number in the mouse afterwards ("000000": untouched, "no
                            // dump": not even simulated); "": any
    };
    struct Row {
        const char* name;
        std::function<void(Ledger&)> before;  // the ledger as a crash or another station left it
        std::vector<Step> steps;
        const char* serials;
    };
    const auto reserved = [](Ledger& l) { l.reserve(kType, "st-1"); };
    const auto sent = [](Ledger& l) { l.markSending(l.reserve(kType, "st-1")); };
    const std::vector<Row> rows = {
        {"a restart of run goes on at the next number",
         nullptr,
         {{"line:mice=2 run @ --write-id --count 2 --interval-ms 1 --ledger %L", 0,
           "type 0005 goes on at 000001", ""},
          {"line:mice=2 run @ --write-id --count 2 --interval-ms 1 --ledger %L", 0,
           "type 0005 goes on at 000003", ""}},
         "000001 written, 000002 written, 000003 written, 000004 written"},
        {"--sn sets the first number of a new type",
         nullptr,
         {{"mouse: write @ --write-id --sn A0 --ledger %L", 0, "0000A0 of type 0005", "0000A0"},
          {"mouse: write @ --write-id --ledger %L", 0, "", "0000A1"}},
         "0000A0 written, 0000A1 written"},
        {"--sn on a type with numbers: refused, the mouse untouched",
         nullptr,
         {{"mouse: write @ --write-id --ledger %L", 0, "", "000001"},
          {"mouse: write @ --write-id --sn 40 --ledger %L", 2, "already has numbers", "000000"}},
         "000001 written"},
        {"after FFFFFF: refused, the mouse untouched",
         [](Ledger& l) { l.setFirstNumber(kType, 0xFFFFFF); },
         {{"mouse: write @ --write-id --ledger %L", 0, "", "FFFFFF"},
          {"mouse: write @ --write-id --ledger %L", 2, "has no number left", "000000"}},
         "FFFFFF written"},
        {"no answer: the number goes to the next mouse",
         nullptr,
         {{"--simulate=nack=1 write @ --write-id --ledger %L", 5, "", ""},
          {"mouse: write @ --write-id --ledger %L", 0, "", "000001"}},
         "000001 written"},
        {"a failure after the record went out voids the number",
         nullptr,
         {{"--simulate=stuck-byte=A5 write @ --write-id --ledger %L", 1, "", ""},
          {"mouse: write @ --write-id --ledger %L", 0, "", "000002"}},
         "000001 void, 000002 written"},
        {"restart: a reserved number is released and given again",
         reserved,
         {{"mouse: write @ --write-id --station-name st-1 --ledger %L", 0,
           "released product number 000001 of type 0005", "000001"}},
         "000001 written"},
        {"restart: a number sent to the mouse at hand that holds it is written",
         sent,
         {{"mouse:held.bin write @ --write-id --station-name st-1 --ledger %L", 0,
           "marked product number 000001 of type 0005 written", "000002"}},
         "000001 written, 000002 written"},
        {"restart: a number sent to a mouse that does not hold it is void",
         sent,
         {{"mouse: write @ --write-id --station-name st-1 --ledger %L", 0,
           "voided product number 000001", "000002"}},
         "000001 void, 000002 written"},
        {"another station's reservation is left alone",
         reserved,
         {{"mouse: write @ --write-id --station-name st-2 --ledger %L", 0, "", "000002"}},
         "000001 reserved, 000002 written"},
        {"without --write-id nothing is reserved",
         nullptr,
         {{"mouse: write @ --ledger %L", 0, "", ""},
          {"line:mice=2,ic=1 run --ic 1 @ --write-id --count 2 --interval-ms 1 --ledger %L", 0, "",
           ""}},
         ""},
        {"a ledger that cannot be opened: the mouse untouched",
         nullptr,
         {{"mouse: write @ --write-id --ledger /", 2, "is a folder", "no dump"}},
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LedgerPlace fresh(GetParam());
        WriteHeldImage(place().file("held.bin"), image);
        auto ledger = fresh.open();
        if (row.before) row.before(*ledger);
        for (const Step& step : row.steps) {
            SCOPED_TRACE(step.args);
            std::filesystem::remove(place().file("m"));
            const auto result = RunArgs(Args(step.args, fresh.url()));
            EXPECT_EQ(result.code, step.code) << result.err;
            EXPECT_THAT(result.err, HasSubstr(step.err));
            if (*step.mouse != '\0') {
                EXPECT_EQ(MouseNumber(), step.mouse);
            }
        }
        EXPECT_EQ(SerialsText(*ledger), row.serials);
        const auto problems = ledger->check();
        EXPECT_EQ(problems.size(), std::string(row.name).find("another") == 0 ? 1u : 0u);
    }
}

TEST_P(Station, EveryCommandRecordsOneRowWithItsColumns) {
    const std::string url = place().url();
    const std::vector<std::string> commands = {
        "mouse: write @ --write-id --station-name st-9 --factory-no 3 --line C --station 2 "
        "--ledger %L",
        "mouse:m verify @ --ledger %L", "mouse:m read-factory --ledger %L",
        "mouse:m save " + place().file("copy") + " --ledger %L"};
    for (const auto& c : commands) RunArgs(Args(c, url));
    const auto rows = place().open()->operations();
    ASSERT_EQ(rows.size(), 4u);
    const OperationRecord& w = rows[0].record;
    EXPECT_EQ(std::tie(w.station, w.operation, w.icType, w.vid, w.pid, w.devicePath, w.imageName),
              std::make_tuple(std::string("st-9"), std::string("write"), std::string("KVDE31X"),
                              0x3A5C, 0x0C21, std::string("sim:1/0"), std::string("image.bin")));
    EXPECT_EQ(w.imageSha256, IdentifyImage(image).sha256Hex());
    ASSERT_TRUE(w.factory && w.productNumber);
    EXPECT_EQ(std::tie(w.factory->type, w.factory->number, w.factory->factory, w.factory->line,
                       w.factory->station, *w.productNumber),
              std::make_tuple(kType, 1, 2, 2, 1, 1));
    EXPECT_EQ(std::tie(w.passed, w.result, w.caption),
              std::make_tuple(true, std::string("Write Pass"), std::string("Write Pass")));
    EXPECT_FALSE(w.reason);  // a pass has no reason
    EXPECT_FALSE(w.toolVersion.empty());
    const std::vector<std::tuple<std::string, bool, std::string>> others = {
        {"verify", true, "Verify Pass"},
        {"read-factory", true, "Read Ok"},
        {"save", true, "Save Pass"}};
    for (std::size_t i = 0; i < others.size(); ++i) {
        const OperationRecord& o = rows[i + 1].record;
        EXPECT_EQ(std::tie(o.operation, o.passed, o.result), others[i]);
        EXPECT_FALSE(o.productNumber);
        EXPECT_NE(o.station, "st-9");  // the host name unless given
    }
    EXPECT_TRUE(rows[3].record.imageName.empty());  // a save names no image
    ASSERT_TRUE(rows[2].record.factory);            // the record read back
    EXPECT_EQ(rows[2].record.factory->number, 1);
}

// A row of an operation that did not pass names its reason code, in the command and in
// run alike, so the summary counts failures by code.
TEST_P(Station, FailedRowsCarryTheirReasonCode) {
    const std::string url = place().url();
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"--simulate=stuck-byte=10 write @ --ledger %L", "mismatch"},
        {"--simulate=nack=1 verify @ --ledger %L", "no-answer"},
        {"--simulate=status2=0 read-factory --ledger %L", "status-bit2-clear"},
        {"line:mice=1,lose-piece=2 run @ --count 1 --interval-ms 1 --ledger %L", "piece-lost"},
        {"--simulate read-factory --ledger %L", ""},
    };
    for (const auto& [args, code] : rows) RunArgs(Args(args, url));
    const auto ops = place().open()->operations();
    ASSERT_EQ(ops.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].first);
        EXPECT_EQ(ops[i].record.reason.value_or(""), rows[i].second);
    }
    const auto failures = FailureReasons(ops);
    ASSERT_EQ(failures.size(), 2u);  // the two failed writes, one of each code
    EXPECT_EQ(failures[0].first == "mismatch" ? failures[1].first : failures[0].first,
              "piece-lost");
}

BW_LEDGER_BACKENDS(Station);

// The server of a line goes away while a mouse is written (the station's role may no longer
// log in and its connection is cut): no further mouse, the result kept (in the spool of the
// station's data folder too), tried again a second apart, recorded when the server lets the
// station in again, else said with its number, and handed over at the next start.
class OutageHost : public ::bw::test::RecordingHost {
  public:
    std::function<void()> cut;
    std::function<void()> restore;  // null: the server stays away
    std::string cutAfter;           // the phase whose end cuts the line

    void beginPhase(const std::string& label, int bytes) override {
        RecordingHost::beginPhase(label, bytes);
        phase_ = label;
    }
    void endPhase(bool ok) override {
        RecordingHost::endPhase(ok);
        if (!down_ && phase_.rfind(cutAfter, 0) == 0) {
            down_ = true;
            cut();
        }
    }
    // Back at the first wait between two tries of the held row (the protocol waits less).
    void sleepMs(int ms) override {
        RecordingHost::sleepMs(ms);
        if (down_ && restore && ms == 50) {
            restore();
            restore = nullptr;
        }
    }

  private:
    std::string phase_;
    bool down_ = false;
};

TEST(StationOutage, PostgresGoneDuringAMouse) {
    struct Row {
        const char* args;
        const char* cutAfter;
        bool comesBack;
        int code;
        const char* err;
        const char* serials;    // afterwards, the server back
        const char* restarted;  // after the next start
    };
    const std::vector<Row> rows = {
        {"line:mice=3 run @ --write-id --interval-ms 1", "Reading back", true, 2,
         "no further mouse is taken", "000001 written", "000001 written"},
        {"line:mice=3 run @ --write-id --interval-ms 1", "Reading back", false, 6,
         "product number 000001 of type 0005 written: not recorded in the ledger (kept in the"
         " spool)",
         "000001 sending", "000001 written"},
        // Gone before the record: it is never sent, and the number is to be released.
        {"mouse: write @ --write-id", "Writing 2048", false, 6,
         "product number 000001 of type 0005 to be released: not recorded", "000001 reserved",
         "000001 released"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        LedgerPlace place(Backend::Postgres);
        if (!place.skipReason().empty()) GTEST_SKIP() << place.skipReason();
        ::bw::test::SetDataHome(place.file("data"));
        ::bw::test::WriteImageFile(place.file("image.bin"), ::bw::test::PatternImage(3));
        ::bw::test::WriteImageFile(place.file("zero.bin"), Image{});
        const std::string role = "outage_" + std::to_string(getpid());
        auto admin = place.raw();
        admin->exec("CREATE ROLE " + role + " LOGIN SUPERUSER");
        std::string url = place.url();
        url.replace(url.find("binwright@"), 9, role);
        place.open();
        OutageHost host;
        host.cutAfter = row.cutAfter;
        host.cut = [&] {
            admin->exec("ALTER ROLE " + role + " NOLOGIN");
            admin->query(
                "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = $1",
                {role});
        };
        const auto back = [&] { admin->exec("ALTER ROLE " + role + " LOGIN"); };
        if (row.comesBack) host.restore = back;

        std::vector<std::string> args;
        std::istringstream words(std::string(row.args) + " --json --ledger " + url);
        for (std::string a; words >> a;) {
            if (a == "@") a = place.file("image.bin");
            if (a == "mouse:") a = "--simulate=memory=" + place.file("zero.bin");
            if (a.rfind("line:", 0) == 0) a = "--simulate=" + a.substr(5);
            args.push_back(a);
        }
        const auto result = RunArgs(args, &host, place.file("data"));
        back();
        EXPECT_EQ(result.code, row.code) << result.err;
        EXPECT_THAT(result.err, HasSubstr(row.err));
        EXPECT_EQ(SerialsText(*place.open()), row.serials);
        // The mouse's own line: its row was not recorded when it was said.
        EXPECT_THAT(result.out.substr(0, result.out.find('\n')), HasSubstr("\"exit_code\":6"));
        // The next start (the lease of the run that lost its server expired meanwhile).
        admin->exec("DELETE FROM station_leases");
        EXPECT_NO_THROW(OpenStationLedger({url, ""})->start());
        EXPECT_EQ(SerialsText(*place.open()), row.restarted);
        EXPECT_TRUE(place.open()->check().empty());
        admin->exec("DROP OWNED BY " + role);
        admin->exec("DROP ROLE " + role);
    }
}

}  // namespace
}  // namespace bw::ledger::test
