#include "production/production_log.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        {"when,what", 9},  // not one of ours: whole lines
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

TEST(ProductionLog, DisabledWritesNothingAndQuotesOddFields) {
    EXPECT_TRUE(bw::ProductionLog().append(Entry(1, "x")));
    auto e = Entry(std::nullopt, "a,\"b\"");
    EXPECT_NE(bw::FormatLogLine(e).find(",\"a,\"\"b\"\"\","), std::string::npos);
}

}  // namespace
