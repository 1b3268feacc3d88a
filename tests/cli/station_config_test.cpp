#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/cli_harness.h"
#include "production/result_text.h"

namespace bw::test {
namespace {

class StationConfigFile : public ::testing::Test {
  protected:
    TempFolder dir;
    std::string imagePath = dir.file("image.bin");
    std::string configPath = dir.file("line1.conf");

    void SetUp() override { WriteImageFile(imagePath, PatternImage(5)); }
    void Write(const std::string& text) {
        WriteBytes(configPath, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
};

// Each bad file ends with exit 2 before a mouse is touched, naming the file and the line.
TEST_F(StationConfigFile, BadInputNamesTheFileAndLine) {
    const std::string image = "image = " + imagePath + "\n";
    const struct {
        std::string text;
        std::string where;  // after the file name
        std::string says;
    } rows[] = {
        {image + "# counts\ncout = 3\n", ":3: ", "unknown key 'cout' (keys: image, ic,"},
        {"ic = 1\n", ": ", "no image: add a line 'image = "},
        {"image = " + dir.file("none.bin") + "\n", ":1: ", "image: cannot open"},
        {image + "count = 0\n", ":2: ", "count = 0: --count: Value 0 not in range"},
        {image + "\n\nic = 7  # the new one\n", ":4: ", "--ic: '7' is not an IC type"},
        {image + "write-id = maybe\n", ":2: ", "write-id = maybe"},
        {image + "count = 2\r\ncount = 3\r\n", ":3: ", "'count' is given a second time"},
        {image + "count\n", ":2: ", "expected 'key = value', found 'count'"},
    };
    for (const auto& row : rows) {
        Write(row.text);
        const auto r = RunArgs({"--simulate=mice=1", "run", "--config", configPath});
        EXPECT_EQ(r.code, exitcode::Usage) << row.text;
        EXPECT_THAT(r.err, ::testing::HasSubstr(configPath + row.where + row.says)) << row.text;
        EXPECT_EQ(r.out, "") << row.text;
    }
    const auto missing = RunArgs({"run", "--config", dir.file("none.conf")});
    EXPECT_EQ(missing.code, exitcode::Usage);
    EXPECT_THAT(missing.err, ::testing::HasSubstr(dir.file("none.conf") + ": cannot open"));
}

TEST_F(StationConfigFile, ValuesApplyAndTheCommandLineWins) {
    Write("# station 1\nimage = \"" + imagePath + "\"\nsimulate = mice=3,dump=" + dir.file("m") +
          "\ncount = 3\ninterval-ms = 1\nwrite-id = yes\nsn = 0x10  # first number\n");
    const auto r = RunArgs({"run", "--count", "2", "--config", configPath});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(r.out, ::testing::EndsWith("total 2 passed 2 failed 0\n"));
    EXPECT_THAT(r.out, ::testing::HasSubstr("SN 11  Write Pass"));
    EXPECT_EQ(ReadBytes(dir.file("m.1"))[168], 0x10);
}

}  // namespace
}  // namespace bw::test
