// The numbers of a station that writes the factory record outlive it: `run` and `run --gang`
// without --ledger keep them in the default ledger of the data folder (a folder of the
// test, never the real home), --no-ledger keeps them nowhere, a config's `sn` yields to the
// ledger, and a mouse that holds a number written before is read first and left alone or
// rewritten with it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "cli/cli_harness.h"
#include "image/factory_record.h"
#include "ledger/ledger.h"
#include "os/utf8_path.h"
#include "production/result_text.h"

namespace bw::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Json = nlohmann::json;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The SN of each run line ("HH:MM:SS  SN 1A  Write Pass  ...").
std::vector<std::string> Numbers(const std::string& out) {
    std::vector<std::string> numbers;
    for (const std::string& line : Lines(out)) {
        const auto at = line.find("  SN ");
        if (at == std::string::npos) continue;
        numbers.push_back(line.substr(at + 5, line.find(' ', at + 5) - at - 5));
    }
    return numbers;
}

// The product number in a mouse's factory record.
std::int32_t HeldNumber(const std::vector<std::uint8_t>& memory) {
    FactoryRecordBytes record{};
    std::copy(memory.begin() + FactoryRecordOffset,
              memory.begin() + FactoryRecordOffset + kFactoryRecordSize, record.begin());
    return DecodeFactoryRecord(record).number;
}

class StationLedger : public ::testing::Test {
  protected:
    TempFolder dir;
    std::string image = dir.file("image.bin");
    std::string home = dir.file("data");  // the data home of every start
    std::string db = Utf8FromPath(DataFolderIn(PathFromUtf8(home)) / "ledger.db");

    void SetUp() override { WriteImageFile(image, PatternImage(21)); }

    CliResult Start(std::vector<std::string> args) {
        return RunArgs(std::move(args), nullptr, home);
    }
    std::vector<std::string> Check(const std::string& ledger) {
        return ledger::OpenLedger(ledger)->check();
    }
};

// A line engineer's week with the shipped config: starts, restarts, a second product type,
// a station run without its ledger. The numbers go on across starts; a config's `sn` only
// starts a type the ledger has not seen; --sn on the command line is held to its rule.
TEST_F(StationLedger, NumbersGoOnAcrossStartsInTheDefaultLedger) {
    const std::string config = dir.file("line1.conf");
    const auto Conf = [&](const std::string& extra) {
        const std::string text = "image = image.bin\nwrite-id = yes\nsn = 000010\n" + extra;
        WriteBytes(config, std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    const struct {
        const char* step;
        std::string extra;              // config lines
        std::vector<std::string> args;  // after run --config FILE --count 2 --interval-ms 1
        int code;
        std::vector<std::string> numbers;
        std::string says;  // on stderr
    } steps[] = {
        {"first start", "", {}, exitcode::Pass, {"10", "11"}, "ledger: " + db},
        {"restart", "", {}, exitcode::Pass, {"12", "13"}, "sn = 000010 is ignored: type 0005"},
        {"new type", "type = 0006\n", {}, exitcode::Pass, {"10", "11"}, "ledger: " + db},
        {"--sn not next", "", {"--sn", "5"}, exitcode::Usage, {}, "already has numbers"},
        {"--sn next", "", {"--sn", "14"}, exitcode::Pass, {"14", "15"}, ""},
        {"--no-ledger", "", {"--no-ledger"}, exitcode::Pass, {"10", "11"}, "every start begins"},
        {"after it", "", {}, exitcode::Pass, {"16", "17"}, "it goes on at 000016"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        Conf(s.extra);
        std::vector<std::string> args = {"--simulate=mice=2", "run", "--config",      config,
                                         "--count",           "2",   "--interval-ms", "1"};
        args.insert(args.end(), s.args.begin(), s.args.end());
        const auto r = Start(args);
        EXPECT_EQ(r.code, s.code) << r.err;
        EXPECT_EQ(Numbers(r.out), s.numbers) << r.out;
        EXPECT_THAT(r.err, HasSubstr(s.says));
    }
    EXPECT_THAT(Check(db), ::testing::IsEmpty());
}

// The folder of the default ledger: the service's STATE_DIRECTORY first; no folder at all
// refuses the start; a bad station name is refused before any mouse. Under --json a refusal
// still gives its line and the totals.
TEST_F(StationLedger, TheDefaultLedgerFolderAndTheStationName) {
    const struct {
        const char* name;
        EnvChanges env;
        std::vector<std::string> extra;
        int code;
        std::string says;
    } rows[] = {
#ifndef _WIN32  // the folders of a Linux station
        {"service",
         {{"STATE_DIRECTORY", dir.file("state")}},
         {},
         exitcode::Pass,
         "ledger: " + dir.file("state") + "/ledger.db"},
        {"no folder",
         {{"XDG_DATA_HOME", std::nullopt}, {"HOME", std::nullopt}},
         {},
         exitcode::Usage,
         "no folder for the default ledger"},
#endif
        {"control character",
         {},
         {"--station-name", "line\x1b[2J"},
         exitcode::Usage,
         "--station-name: the station name holds a control character"},
        {"too long",
         {},
         {"--station-name", std::string(65, 'a')},
         exitcode::Usage,
         "the station name is 65 bytes long, more than 64"},
        {"64 is fine", {}, {"--station-name", std::string(64, 'a')}, exitcode::Pass, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args = {"--simulate=dump=" + dir.file("m"),
                                         "run",
                                         image,
                                         "--write-id",
                                         "--count",
                                         "1",
                                         "--interval-ms",
                                         "1",
                                         "--json"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const CliResult r = RunArgs(args, nullptr, home, row.env);
        EXPECT_EQ(r.code, row.code) << r.err;
        EXPECT_THAT(r.err, HasSubstr(row.says));
        if (row.code == exitcode::Usage) {
            std::istringstream lines(r.out);
            std::string first;
            std::string last;
            ASSERT_TRUE(std::getline(lines, first)) << r.out;
            ASSERT_TRUE(std::getline(lines, last)) << r.out;
            const Json refused = Json::parse(first);
            EXPECT_TRUE(refused["result"].is_null());
            EXPECT_EQ(refused["reason"]["code"], "bad-parameters");
            EXPECT_THAT(refused["reason"]["text"].get<std::string>(), HasSubstr(row.says));
            EXPECT_EQ(Json::parse(last)["exit_code"], exitcode::Usage);
        }
    }
}

// A mouse written before (SN 1 in this ledger) comes back: `run` and `run --gang` read it
// first and leave it alone, or with --rewrite write it again with SN 1; a mouse of another
// type is a new mouse. Either way no number is given twice and the ledger stays sound.
TEST_F(StationLedger, AMouseWrittenBeforeIsLeftAloneOrRewritten) {
    const std::string first = dir.file("first.bin");
    const std::string ledgerFile = dir.file("line.db");
    ASSERT_EQ(Start({"--simulate=dump=" + first, "run", image, "--write-id", "--count", "1",
                     "--interval-ms", "1", "--ledger", ledgerFile})
                  .code,
              exitcode::Pass);
    ASSERT_EQ(HeldNumber(ReadBytes(first)), 1);

    const struct {
        const char* name;
        bool gang;
        std::vector<std::string> extra;
        int code;
        std::string line;          // the mouse's line
        std::optional<int> holds;  // the number its memory holds after (single line only)
        std::string nextAfter;     // the type's next number afterwards
    } rows[] = {
        {"run", false, {}, exitcode::AlreadyWritten, "SN 1  Already written (SN 1)", 1, "000002"},
        {"run --rewrite", false, {"--rewrite"}, exitcode::Pass, "SN 1  Write Pass", 1, "000002"},
        {"run, other type",
         false,
         {"--type", "0006"},
         exitcode::Pass,
         "SN 1  Write Pass",
         1,
         "000002"},
        {"gang",
         true,
         {},
         exitcode::AlreadyWritten,
         "slot 1  SN -  Already written (SN 1)",
         std::nullopt,
         "000002"},
        {"gang --rewrite",
         true,
         {"--rewrite"},
         exitcode::Pass,
         "slot 1  SN 1  Write Pass",
         std::nullopt,
         "000002"},
        // A rewrite that fails: the mouse may have lost SN 1, so it is void.
        {"run --rewrite, fails",
         false,
         {"--rewrite", "--retries", "1"},
         exitcode::Fail,
         "SN 1  Write Fail",
         std::nullopt,
         "000002"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string db = dir.file(std::string("copy-") + std::to_string(&row - rows) + ".db");
        std::filesystem::copy_file(ledgerFile, db);
        const std::string after = dir.file("after.bin");
        std::filesystem::remove(after);
        const std::string log = dir.file(std::string("log-") + std::to_string(&row - rows));
        std::string keys = row.gang ? "slots=1,mice=1,memory=" + first + ",dump=" + after
                                    : "memory=" + first + ",dump=" + after;
        // The mouse is pulled out in the middle of the image.
        if (std::string(row.name).find("fails") != std::string::npos) keys += ",fail-after=300";
        std::vector<std::string> args = {"--simulate=" + keys,
                                         "run",
                                         image,
                                         "--write-id",
                                         "--count",
                                         "1",
                                         "--interval-ms",
                                         "1",
                                         "--sleep",
                                         "1",
                                         "--ledger",
                                         db,
                                         "--log",
                                         log,
                                         "--json"};
        if (row.gang) args.insert(args.begin() + 3, "--gang");
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const auto r = Start(args);
        EXPECT_EQ(r.code, row.code) << r.err;
        EXPECT_THAT(r.err, HasSubstr(row.line));

        const std::vector<std::string> json = Lines(r.out);
        ASSERT_EQ(json.size(), 2u) << r.out;
        const Json mouse = Json::parse(json[0]);
        const Json totals = Json::parse(json[1]);
        EXPECT_EQ(totals["exit_code"], row.code);
        if (row.code == exitcode::AlreadyWritten) {
            EXPECT_EQ(mouse["exit_code"], exitcode::AlreadyWritten);
            EXPECT_EQ(mouse["reason"]["code"], "already-written");
            EXPECT_TRUE(mouse["product_number"].is_null());
            EXPECT_EQ(totals["mice"], 0);
            EXPECT_EQ(totals["already_written"], 1);
            EXPECT_THAT(r.err, HasSubstr("total 0 passed 0 failed 0 already written 1"));
            EXPECT_THAT(ReadText(log), HasSubstr(",read-factory,,Already written (SN 1),"));
        }
        if (row.holds) {
            EXPECT_EQ(HeldNumber(ReadBytes(after)), *row.holds);
        }
        if (row.code == exitcode::AlreadyWritten && !row.gang) {
            EXPECT_EQ(ReadBytes(after), ReadBytes(first));  // not a byte written
        }

        auto ledger = ledger::OpenLedger(db);
        EXPECT_THAT(ledger->check(), ::testing::IsEmpty());
        EXPECT_EQ(ledger::NumberText(*ledger->nextNumber(0x0005)), row.nextAfter);
        const auto one = ledger->serial(0x0005, 1);
        ASSERT_TRUE(one);
        EXPECT_EQ(one->state, row.code == exitcode::Fail ? ledger::SerialState::Void
                                                         : ledger::SerialState::Written);
    }
}

}  // namespace
}  // namespace bw::test
