// `run --gang` in-process on the simulated line of ports: numbers from a SQLite ledger with
// one connection per slot, the log, --json lines, a mouse the ledger's recovery proved
// written, and the --slots values refused. Suite Threaded* (label threads): the workers run
// under ThreadSanitizer too.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_harness.h"
#include "frontend/command_ledger.h"
#include "production/result_text.h"

namespace bw {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;
using test::RunArgs;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(ThreadedCliGang, EveryMouseGetsItsOwnLedgerNumberAndLogRow) {
    test::TempFolder dir;
    const std::string image = dir.file("image.bin");
    test::WriteImageFile(image, test::PatternImage(3));
    const std::string db = dir.file("line.db");
    const std::string log = dir.file("line.csv");
    const auto r = RunArgs({"--simulate=slots=4,mice=8", "run", "--gang", image, "--write-id",
                            "--sleep", "5", "--count", "8", "--ledger", db, "--log", log});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;

    const std::regex line(R"(^slot ([1-4])  SN ([0-9A-F]+)  Write Pass  [0-9.]+s$)");
    std::set<std::string> numbers;
    int mice = 0;
    for (const std::string& text : Lines(r.out)) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        ++mice;
        numbers.insert(m[2]);
    }
    EXPECT_EQ(mice, 8) << r.out;
    EXPECT_EQ(numbers, (std::set<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_THAT(r.out, ::testing::HasSubstr("total 8 passed 8 failed 0"));
    EXPECT_EQ(Lines(test::ReadText(log)).size(), 9u);  // the header and a row per mouse

    const auto check = RunArgs({"ledger", "--ledger", db, "check"});
    EXPECT_EQ(check.code, exitcode::Pass) << check.out << check.err;
}

// stdout holds only JSON lines: one per mouse with its slot and port, then the totals with
// every slot's counts. Port 2 fails: its lines, and its log rows, carry the reason.
TEST(ThreadedCliGang, JsonLinesNameEachMouseSlotAndEndWithTheTotals) {
    test::TempFolder dir;
    const std::string image = dir.file("image.bin");
    test::WriteImageFile(image, test::PatternImage(4));
    const std::string log = dir.file("line.csv");
    const auto r = RunArgs({"--simulate=slots=3,mice=6,fault-slot=2,nack=1", "run", "--gang", image,
                            "--write-id", "--sleep", "5", "--count", "6", "--log", log, "--json"});
    EXPECT_EQ(r.code, exitcode::Fail) << r.err;
    EXPECT_THAT(r.err, HasSubstr("total 6 passed"));  // the human lines go to stderr

    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    std::map<int, std::string> portOf;
    std::map<int, std::pair<int, int>> counted;  // slot: mice, passed
    std::set<std::string> numbers;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const Json j = Json::parse(lines[i]);
        ASSERT_EQ(j["operation"], "write") << lines[i];
        const int slot = j["slot"];
        const auto [known, added] = portOf.emplace(slot, j["port"]);
        EXPECT_EQ(known->second, j["port"]) << "slot " << slot << " changed its port";
        ++counted[slot].first;
        if (j["port"] == "port2") {
            EXPECT_EQ(j["exit_code"], exitcode::NoAnswer) << lines[i];
            EXPECT_EQ(j["reason"]["code"], "no-answer") << lines[i];
            continue;
        }
        ++counted[slot].second;
        EXPECT_EQ(j["exit_code"], exitcode::Pass) << lines[i];
        EXPECT_TRUE(numbers.insert(j["product_number"].get<std::string>()).second) << lines[i];
    }
    std::set<std::string> ports;
    for (const auto& [slot, port] : portOf) ports.insert(port);
    EXPECT_EQ(ports.size(), portOf.size()) << "two slots on one port";

    const Json totals = Json::parse(lines.back());
    EXPECT_EQ(totals["operation"], "run");
    EXPECT_EQ(totals["mice"], 6);
    EXPECT_EQ(totals["passed"], static_cast<int>(numbers.size()));
    EXPECT_EQ(totals["exit_code"], exitcode::Fail);
    ASSERT_EQ(totals["slots"].size(), portOf.size());
    for (const Json& s : totals["slots"]) {
        const int slot = s["slot"];
        EXPECT_EQ(s["port"], portOf.at(slot));
        EXPECT_EQ(std::make_pair(s["mice"].get<int>(), s["passed"].get<int>()), counted[slot]);
    }
    EXPECT_THAT(test::ReadText(log), HasSubstr(",no-answer"));
}

// The last run stopped while SN 1 was being sent to a mouse still plugged in: the ledger's
// recovery proves it written, and the gang leaves that mouse alone rather than give it a
// second number; its slot writes nothing until it is pulled out. The line's other mice are
// copies of it: each is read first, holds SN 1, now written, and is left alone too.
TEST(ThreadedCliGang, AMouseProvenWrittenAtTheStartIsNotWrittenAgain) {
    test::TempFolder dir;
    const std::string image = dir.file("image.bin");
    test::WriteImageFile(image, test::PatternImage(5));
    const std::string held = dir.file("held.bin");
    ASSERT_EQ(RunArgs({"--simulate=dump=" + held, "write", image, "--write-id", "--sn", "1"}).code,
              exitcode::Pass);
    const std::string db = dir.file("line.db");
    {
        const auto station = OpenStationLedger({db, "st-1"});
        FactoryFields sent;
        sent.number = station->reserve(sent.type);
        ASSERT_EQ(sent.number, 1);
        ASSERT_TRUE(station->recordMayGo(sent));
    }
    // A mouse left alone stays plugged in (the simulated line pulls out written ones only).
    const auto r = RunArgs({"--simulate=slots=2,mice=3,memory=" + held, "run", "--gang", image,
                            "--write-id", "--sleep", "5", "--count", "1", "--ledger", db,
                            "--station-name", "st-1", "--json"});
    ASSERT_EQ(r.code, exitcode::AlreadyWritten) << r.err;
    std::smatch said;
    ASSERT_TRUE(std::regex_search(r.err, said,
                                  std::regex("binwright run: slot ([12]): the mouse on port "
                                             "(port[12]) holds SN 1 from the interrupted run; "
                                             "unplug it\n")))
        << r.err;

    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    const Json j = Json::parse(lines[0]);
    EXPECT_NE(j["port"], said[2].str()) << lines[0];
    EXPECT_EQ(j["result"], "Already written (SN 1)") << lines[0];
    EXPECT_EQ(j["exit_code"], exitcode::AlreadyWritten);
    EXPECT_TRUE(j["product_number"].is_null());
    const Json totals = Json::parse(lines[1]);
    EXPECT_EQ(totals["mice"], 0);
    EXPECT_EQ(totals["already_written"], 1);
    ASSERT_EQ(totals["slots"].size(), 2u);
    for (const Json& slot : totals["slots"]) {
        const bool held = slot["slot"] == std::stoi(said[1]);
        EXPECT_EQ(slot["port"] == said[2].str(), held);
        EXPECT_EQ(slot["mice"], 0);
        EXPECT_EQ(slot["already_written"], held ? 0 : 1);
    }

    const auto check = RunArgs({"ledger", "--ledger", db, "check"});
    EXPECT_EQ(check.code, exitcode::Pass) << check.out << check.err;
}

TEST(ThreadedCliGang, SlotsValuesThatCannotBeUsedAreRefused) {
    test::TempFolder dir;
    const std::string image = dir.file("image.bin");
    test::WriteImageFile(image, test::PatternImage(3));
    for (const std::vector<std::string>& slots :
         {std::vector<std::string>{"--gang", "--slots", "0"},
          {"--gang", "--slots", "65"},
          {"--gang", "--slots", "port1,,port2"},
          {"--gang", "--slots", "port1,port1"},
          {"--gang", "--slots=-1"},
          {"--slots", "2"}}) {
        std::vector<std::string> args = {"--simulate=slots=2", "run", image, "--count", "1"};
        args.insert(args.end(), slots.begin(), slots.end());
        EXPECT_EQ(RunArgs(args).code, exitcode::Usage) << slots.back();
    }
}

// A --slots port no mouse can appear on is named at the start (its slot would wait for
// ever); the others work. Product number 0 is printed as 0, not as a blank.
TEST(ThreadedCliGang, APortThatCannotAppearIsNamedAndNumberZeroIsPrinted) {
    test::TempFolder dir;
    const std::string image = dir.file("image.bin");
    test::WriteImageFile(image, test::PatternImage(3));
    const auto r =
        RunArgs({"--simulate=slots=2,mice=1", "run", image, "--gang", "--slots", "port1,port7",
                 "--write-id", "--no-ledger", "--sn", "0", "--count", "1", "--sleep", "1"});
    EXPECT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(r.err, HasSubstr("binwright run: warning: --slots: port port7: the simulated line"
                                 " has port1 to port2 only; slot 2 will stay empty\n"));
    EXPECT_THAT(r.err, ::testing::Not(HasSubstr("port port1:")));
    EXPECT_THAT(r.out, ::testing::StartsWith("slot 1  SN 0  Write Pass  "));
}

}  // namespace
}  // namespace bw
