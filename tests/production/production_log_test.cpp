#include "production/production_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bw::LogEntry Entry(std::optional<int> number, std::string result) {
    bw::LogEntry e;
    e.when = std::chrono::system_clock::now();
    e.icType = "KVDE31X";
    e.vid = 0x3A5C;
    e.pid = 0x0C21;
    e.operation = "write";
    e.productNumber = number;
    e.result = std::move(result);
    e.durationMs = 5123;
    return e;
}

TEST(ProductionLog, HeaderOnlyOnceAndOneLinePerOperation) {
    const auto path = std::filesystem::temp_directory_path() / "bw_log_test.csv";
    std::filesystem::remove(path);
    bw::ProductionLog log(path.string());
    ASSERT_TRUE(log.append(Entry(1, "Write Pass")));
    ASSERT_TRUE(log.append(Entry(std::nullopt, "Write Fail")));
    bw::ProductionLog again(path.string());
    ASSERT_TRUE(again.append(Entry(2, "Write Pass")));

    std::istringstream lines(ReadAll(path));
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) all.push_back(line);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], bw::kLogHeader);
    EXPECT_NE(all[1].find(",KVDE31X,3A5C:0C21,write,000001,Write Pass,5123"), std::string::npos);
    EXPECT_NE(all[2].find(",write,,Write Fail,"), std::string::npos);
    EXPECT_NE(all[3].find(",000002,"), std::string::npos);
    std::filesystem::remove(path);
}

TEST(ProductionLog, ALogBegunWithFewerColumnsKeepsThem) {
    const auto path = std::filesystem::temp_directory_path() / "bw_log_old_test.csv";
    struct Case {
        std::string header;
        std::size_t fields;  // of the appended line
    };
    const Case cases[] = {
        {"time,ic_type,vid_pid,operation,product_number,result,duration_ms\r", 7},
        {"time,ic_type,vid_pid,operation,product_number,result,duration_ms", 7},
        {"time,ic_type,vid_pid,operation,product_number,result,duration_ms,image_sha256", 8},
        {bw::kLogHeader, 9},
        {"\xEF\xBB\xBF" + std::string(bw::kLogHeader), 9},  // saved by a spreadsheet
    };
    for (const auto& c : cases) {
        { std::ofstream(path, std::ios::binary | std::ios::trunc) << c.header << "\n"; }
        auto e = Entry(1, "Write Pass");
        e.imageSha256 = std::string(64, 'a');
        ASSERT_TRUE(bw::ProductionLog(path.string()).append(e));
        const std::string all = ReadAll(path);
        const std::string last = all.substr(all.find('\n') + 1);
        EXPECT_EQ(static_cast<std::size_t>(std::count(last.begin(), last.end(), ',')) + 1, c.fields)
            << c.header;
        EXPECT_EQ(all.find(c.header + "\n"), 0u);
    }
    std::filesystem::remove(path);
}

// What a log holds before a station starts, and what the start and the next line make of
// it: a new log gets its header at once, a cut line is ended, another program's file is
// refused (by the start and by every line), and the probe of the start leaves nothing.
TEST(ProductionLog, TheStartChecksTheFileAndLeavesItAsALog) {
    const auto path = std::filesystem::temp_directory_path() / "bw_log_prepare_test.csv";
    const std::string header = std::string(bw::kLogHeader) + "\n";
    const std::string row = "2026-05-27T14:02:07.123,KVDE31X,3A5C:0C21,write,000001,Write Pass,5,,";
    const struct {
        const char* name;
        std::optional<std::string> before;  // none: no file yet
        std::string refusal;                // of the start; empty: it may go on
        std::string afterStart;             // the file once the start is done
        std::string afterLine;              // ... before the line of number 2 appended
    } rows[] = {
        {"new", std::nullopt, "", header, header},
        {"empty", "", "", header, header},
        {"whole", header + row + "\n", "", header + row + "\n", header + row + "\n"},
        {"cut", header + row.substr(0, 30), "", header + row.substr(0, 30) + "\n",
         header + row.substr(0, 30) + "\n"},
        {"foreign", "when,what\n1,2\n", "is not a production log: its first line is \"when,what\"",
         "when,what\n1,2\n", ""},
        {"utf-16", std::string("\xFF\xFEt\0i\0", 6), "is not a production log", "", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::filesystem::remove(path);
        if (r.before) std::ofstream(path, std::ios::binary) << *r.before;
        const bw::ProductionLog log(path.string());
        const std::string refusal = log.prepare();
        if (!r.refusal.empty()) {
            EXPECT_NE(refusal.find(r.refusal), std::string::npos) << refusal;
            std::string why;
            EXPECT_FALSE(log.append(Entry(2, "Write Pass"), &why));
            EXPECT_NE(why.find("is not a production log"), std::string::npos) << why;
            if (!r.afterStart.empty()) {
                EXPECT_EQ(ReadAll(path), r.afterStart);
            }
            continue;
        }
        EXPECT_EQ(refusal, "");
        EXPECT_EQ(ReadAll(path), r.afterStart);
        ASSERT_TRUE(log.append(Entry(2, "Write Pass")));
        const std::string all = ReadAll(path);
        EXPECT_EQ(all.rfind(r.afterLine, 0), 0u) << all;
        // The new line on a line of its own, right after: a time, not a blank line.
        EXPECT_NE(all.find(",000002,Write Pass,", r.afterLine.size()), std::string::npos);
        EXPECT_NE(std::isdigit(static_cast<unsigned char>(all.at(r.afterLine.size()))), 0);
        EXPECT_EQ(all.back(), '\n');
    }
    std::filesystem::remove(path);
}

TEST(ProductionLog, DisabledWritesNothingAndQuotesOddFields) {
    EXPECT_TRUE(bw::ProductionLog().append(Entry(1, "x")));
    auto e = Entry(std::nullopt, "a,\"b\"");
    EXPECT_NE(bw::FormatLogLine(e).find(",\"a,\"\"b\"\"\","), std::string::npos);
}

}  // namespace
