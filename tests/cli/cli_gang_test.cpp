// `run --gang` in-process on the simulated line of ports: numbers from a SQLite ledger with
// one connection per slot, the log, and the --slots values refused. Suite Threaded* (label
// threads): the workers run under ThreadSanitizer too.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_harness.h"
#include "production/result_text.h"

namespace bw {
namespace {

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

TEST(ThreadedCliGang, SlotsValuesThatCannotBeUsedAreRefused) {
    test::TempFolder dir;
    const std::string image = dir.file("image.bin");
    test::WriteImageFile(image, test::PatternImage(3));
    for (const std::vector<std::string>& slots :
         {std::vector<std::string>{"--gang", "--slots", "0"},
          {"--gang", "--slots", "65"},
          {"--gang", "--slots", "port1,,port2"},
          {"--gang", "--slots", "port1,port1"},
          {"--slots", "2"}}) {
        std::vector<std::string> args = {"--simulate=slots=2", "run", image, "--count", "1"};
        args.insert(args.end(), slots.begin(), slots.end());
        EXPECT_EQ(RunArgs(args).code, exitcode::Usage) << slots.back();
    }
}

}  // namespace
}  // namespace bw
