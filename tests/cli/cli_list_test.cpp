#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "binwright_version.h"
#include "cli/cli_harness.h"
#include "production/result_text.h"

namespace bw::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(CliList, SimulatedLineShowsEveryInterfaceWithItsLength) {
    const auto r = RunArgs({"--simulate=others=3,pointer=1", "list"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "5 HID interfaces");
    int mouseFeature8 = 0;
    int mousePointer = 0;
    for (std::size_t i = 1; i < 6; ++i) {
        EXPECT_THAT(lines[i], HasSubstr("opened"));
        if (lines[i].find("3A5C:0C21  release 0x0104") == std::string::npos) continue;
        if (lines[i].find("feature 8 ") != std::string::npos) ++mouseFeature8;
        if (lines[i].find("feature 0 ") != std::string::npos) ++mousePointer;
    }
    EXPECT_EQ(mouseFeature8, 1);
    EXPECT_EQ(mousePointer, 1);
}

TEST(CliList, JsonCarriesTheSameFields) {
    const auto r = RunArgs({"--simulate=ic=1,split=1,others=1", "list", "--json"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_TRUE(list.is_array());
    ASSERT_EQ(list.size(), 3u);
    int mouseInterfaces = 0;
    for (const auto& item : list) {
        EXPECT_TRUE(item.at("opened").get<bool>());
        EXPECT_FALSE(item.contains("error"));
        if (item.at("vid") == "3A5C" && item.at("pid") == "0C37") {
            ++mouseInterfaces;
            EXPECT_EQ(item.at("release"), "0x0100");
            EXPECT_EQ(item.at("feature_length"), 8);
            EXPECT_EQ(item.at("port"), "port1");  // both interfaces: the one mouse's port
        }
    }
    EXPECT_EQ(mouseInterfaces, 2);
}

TEST(CliList, GlobalOptionsMayFollowTheCommand) {
    const auto r = RunArgs({"list", "--simulate=others=2"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(r.out, StartsWith("3 HID interfaces"));
}

TEST(CliGlobal, BadScenarioIsAUsageError) {
    for (const char* scenario : {"--simulate=bogus=1", "--simulate=ic=7", "--simulate=others=x",
                                 "--simulate=memory=/nonexistent/m.bin"}) {
        const auto r = RunArgs({scenario, "list"});
        EXPECT_EQ(r.code, exitcode::Usage) << scenario;
        EXPECT_THAT(r.err, HasSubstr("--simulate")) << scenario;
        EXPECT_TRUE(r.out.empty()) << scenario;
    }
}

TEST(CliGlobal, UsageErrorsAndVersion) {
    EXPECT_EQ(RunArgs({}).code, exitcode::Usage);
    EXPECT_EQ(RunArgs({"frobnicate"}).code, exitcode::Usage);
    EXPECT_EQ(RunArgs({"--simulate", "write"}).code, exitcode::Usage);  // IMAGE missing
    const auto v = RunArgs({"--version"});
    EXPECT_EQ(v.code, exitcode::Pass);
    EXPECT_THAT(v.out, HasSubstr(std::string("binwright ") + BINWRIGHT_VERSION));
    EXPECT_EQ(RunArgs({"--help"}).code, exitcode::Pass);
}

TEST(CliGlobal, TraceWritesOneJsonLinePerTransfer) {
    TempFolder dir;
    const std::string trace = dir.file("trace.jsonl");
    const auto r = RunArgs({"--simulate", "--trace", trace, "read-factory"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    std::ifstream in(trace);
    int lines = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        const auto j = nlohmann::json::parse(line);
        EXPECT_TRUE(j.at("op") == "set" || j.at("op") == "get");
        EXPECT_EQ(j.at("data").get<std::string>().size(), 16u);
    }
    EXPECT_GT(lines, 10);
    // A trace file that cannot be created stops the run before any transfer.
    const auto bad = RunArgs({"--simulate", "--trace", dir.file("no/such/dir/t"), "list"});
    EXPECT_EQ(bad.code, exitcode::Usage);
}

}  // namespace
}  // namespace bw::test
