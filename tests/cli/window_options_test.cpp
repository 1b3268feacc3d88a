// The window's own options and start, as both windows read and start them.
#include "frontend/window_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_harness.h"

namespace bw {
namespace {

TEST(WindowOptions, ReadAndStartTheLineOrSayWhyNot) {
    test::TempFolder dir;
    const std::string missing = dir.file("no-such-folder/x");
    struct Row {
        std::vector<std::string> args;
        bool started;      // the window starts (a line is built)
        bool simulated;    // on the simulated line
        bool ledger;       // with a ledger opened
        const char* said;  // what the failure says
    };
    const Row rows[] = {
        {{"--simulate"}, true, true, false, ""},
        {{"--simulate=mice=2", "--verify-after-write", "--log", dir.file("l.csv")},
         true,
         true,
         false,
         ""},
        {{"--simulate", "--ledger", dir.file("line.db"), "--station-name", "S1"},
         true,
         true,
         true,
         ""},
        {{"--simulate", "--expect-sha256", "12"}, false, false, false, "not a SHA-256"},
        {{"--simulate", "--log", missing}, false, false, false, "binwright-gui: "},
        {{"--simulate", "--trace", missing}, false, false, false, "binwright-gui: "},
        {{"--simulate=nonsense"}, false, false, false, "binwright-gui: "},
        {{"--simulate", "--ledger", missing}, false, false, false, "binwright-gui: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        CLI::App app;
        WindowOptions options;
        AddWindowOptions(app, options);
        std::vector<std::string> reversed(row.args.rbegin(), row.args.rend());
        app.parse(reversed);
        std::ostringstream err;
        std::optional<WindowLine> line;
        if (ResolveWindowOptions(options, err)) line = StartWindowLine(options, err);
        ASSERT_EQ(line.has_value(), row.started) << err.str();
        EXPECT_THAT(err.str(), ::testing::HasSubstr(row.said));
        if (!line) continue;
        EXPECT_EQ(line->platform->simulated() != nullptr, row.simulated);
        EXPECT_EQ(line->ledger != nullptr, row.ledger);
        std::ostringstream ending;
        FinishWindowLine(*line, ending);
        EXPECT_EQ(ending.str(), "");
    }
}

}  // namespace
}  // namespace bw
