#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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
        // As on the command line: an option without the one it needs, or with one it excludes.
        {image + "slots = 2\n", ":2: ", "slots needs gang"},
        {image + "quiet = yes\nverbose = yes\n", ":2: ", "quiet cannot go with verbose"},
        {image + "gang = yes\nslots = -1\n", ":3: ", "--slots: -1 is not 1 to 64"},
        {image + "ledger = l.db\nno-ledger = yes\n", ":2: ", "ledger cannot go with no-ledger"},
        {image + "write-id = yes\nstation-name = \"a\tb\"\n",
         ":3: ", "--station-name: the station name holds a control character"},
        {image + "write-id = yes\nstation-name = " + std::string(65, 's') + "\n",
         ":3: ", "--station-name: the station name is 65 bytes long"},
        {std::string("\xFF\xFEi\0m\0", 6), ": ", "is UTF-16 text; save it as UTF-8"},
        {std::string("image\0=\0x\0\n", 10), ":1: ", "holds a NUL byte"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.says);
        Write(row.text);
        const auto r = RunArgs({"--simulate=mice=1", "run", "--config", configPath});
        EXPECT_EQ(r.code, exitcode::Usage) << row.text;
        EXPECT_THAT(r.err, ::testing::HasSubstr(configPath + row.where + row.says)) << row.text;
        EXPECT_EQ(r.out, "") << row.text;
    }
    const auto missing = RunArgs({"run", "--config", dir.file("none.conf")});
    EXPECT_EQ(missing.code, exitcode::Usage);
    EXPECT_THAT(missing.err, ::testing::HasSubstr(dir.file("none.conf") + ": does not exist"));
}

// A file saved with a byte-order mark, naming its image, log and ledger relative to its own
// folder, works from any current folder (a service's, a shortcut's).
TEST_F(StationConfigFile, RelativePathsAreTheFilesOwnAndAMarkIsAccepted) {
    const std::string text =
        "\xEF\xBB\xBFimage = image.bin\nlog = line.csv\nledger = line.db\n"
        "write-id = yes\ncount = 1\ninterval-ms = 1\n";
    Write(text);
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    const auto r = RunArgs({"--simulate", "run", "--config", configPath});
    std::filesystem::current_path(cwd);
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(ReadText(dir.file("line.csv")), ::testing::HasSubstr(",Write Pass,"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("line.db")));
    EXPECT_THAT(r.err, ::testing::HasSubstr("ledger " + dir.file("line.db")));
}

#ifndef _WIN32  // no FIFOs or device files among Windows' files
// Paths that are no regular file are turned away before anything reads or writes them: a
// FIFO would block, /dev/zero would never end.
TEST_F(StationConfigFile, PathsThatAreNoRegularFilesAreRefused) {
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string db = dir.file("line.db");
    ASSERT_EQ(RunArgs({"--simulate", "run", imagePath, "--write-id", "--count", "1",
                       "--interval-ms", "1", "--ledger", db})
                  .code,
              exitcode::Pass);
    const struct {
        std::vector<std::string> args;
        std::string says;
    } rows[] = {
        {{"run", "--config", fifo}, fifo + ": is a FIFO"},
        {{"run", "--config", "/dev/zero"}, "/dev/zero: is a device"},
        {{"run", imagePath, "--log", fifo}, "--log: \"" + fifo + "\" is a FIFO"},
        {{"ledger", "--ledger", db, "report", "--html", fifo},
         "--html: \"" + fifo + "\" cannot be written: is a FIFO"},
        {{"ledger", "--ledger", db, "export", "--csv", fifo},
         "--csv: \"" + fifo + "\" cannot be written: is a FIFO"},
        {{"ledger", "--ledger", db, "export", "--csv", "/dev/zero"}, "is a device"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.says);
        const auto r = RunArgs(row.args);
        EXPECT_EQ(r.code, exitcode::Usage);
        EXPECT_THAT(r.err, ::testing::HasSubstr(row.says));
    }
}
#endif

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
