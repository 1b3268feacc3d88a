#include "cli/line_sink_buf.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace bw {
namespace {

// Each line reaches the sink when its end is written, never waiting for a flush, so a
// service that dies leaves every finished line in the event log; a line written in pieces
// stays whole.
TEST(LineSinkBuf, HandsOverEachLineAtItsEnd) {
    const struct {
        const char* name;
        std::vector<std::string> pieces;  // each written with its own <<
        std::vector<std::string> beforeFinish;
        std::vector<std::string> afterFinish;
    } rows[] = {
        {"one line", {"total 2 passed 2 failed 0\n"}, {"total 2 passed 2 failed 0"}, {}},
        {"in pieces",
         {"binwright run: ", "ledger ", "服务.db", "\n"},
         {"binwright run: ledger 服务.db"},
         {}},
        {"two in one write", {"a\nb\n"}, {"a", "b"}, {}},
        {"CRLF", {"a\r\n"}, {"a"}, {}},
        {"an empty line", {"\n"}, {""}, {}},
        {"a last line without its end", {"a\nb"}, {"a"}, {"a", "b"}},
        {"nothing", {}, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> lines;
        LineSinkBuf buf([&](const std::string& line) { lines.push_back(line); });
        std::ostream out(&buf);
        for (const auto& piece : row.pieces) out << piece;
        EXPECT_EQ(lines, row.beforeFinish);
        buf.finish();
        EXPECT_EQ(lines, row.afterFinish.empty() ? row.beforeFinish : row.afterFinish);
        buf.finish();  // a second finish adds nothing
        EXPECT_EQ(lines, row.afterFinish.empty() ? row.beforeFinish : row.afterFinish);
    }
}

}  // namespace
}  // namespace bw
