#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <sstream>

#include "cli/cli_harness.h"
#include "image/image_identity.h"
#include "production/result_text.h"

namespace bw::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& csvLine) {
    std::vector<std::string> fields;
    std::istringstream in(csvLine);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (!csvLine.empty() && csvLine.back() == ',') fields.emplace_back();
    return fields;
}

// One result line of `run`, the clock time and the seconds matched by form only.
::testing::Matcher<std::string> RunLine(const std::string& sn, const std::string& result,
                                        int passes) {
    return ::testing::MatchesRegex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]  SN " + sn + "  " + result +
                                   "  [0-9]+\\.[0-9]s  passes " + std::to_string(passes));
}

// Presses Ctrl-C once, at the end of the first write (while the loading window would close).
class InterruptingHost : public RecordingHost {
  public:
    void hideLoading() override {
        RecordingHost::hideLoading();
        if (!pressed) {
            pressed = true;
            std::raise(SIGINT);
        }
    }
    bool pressed = false;
};

// Presses Ctrl-C once the virtual clock has passed a limit (waiting for a mouse).
class TimeoutHost : public RecordingHost {
  public:
    void sleepMs(int ms) override {
        RecordingHost::sleepMs(ms);
        if (elapsedUs > 5'000'000 && !pressed) {
            pressed = true;
            std::raise(SIGINT);
        }
    }
    bool pressed = false;
};

class CliRun : public ::testing::Test {
  protected:
    TempFolder dir;
    Image image = PatternImage(11);
    std::string imagePath = dir.file("image.bin");
    std::string dump = dir.file("m");
    std::string logPath = dir.file("line.csv");

    void SetUp() override { WriteImageFile(imagePath, image); }
    std::string Line(const std::string& keys) { return "--simulate=dump=" + dump + "," + keys; }
    std::vector<std::uint8_t> Mouse(int n) { return ReadBytes(dump + "." + std::to_string(n)); }
};

TEST_F(CliRun, ThreeMiceGetProductNumbersOneTwoThree) {
    const auto r = RunArgs(
        {Line("mice=3"), "run", imagePath, "--write-id", "--count", "3", "--interval-ms", "1"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(Lines(r.out),
                ::testing::ElementsAre(RunLine("1", "Write Pass", 1), RunLine("2", "Write Pass", 2),
                                       RunLine("3", "Write Pass", 3), "total 3 passed 3 failed 0"));
    for (int n = 1; n <= 3; ++n) {
        const auto memory = Mouse(n);
        ASSERT_EQ(memory.size(), 2048u) << n;
        EXPECT_EQ(memory[166], 0x00) << n;
        EXPECT_EQ(memory[167], 0x00) << n;
        EXPECT_EQ(memory[168], n) << n;
        // Outside the factory record the mouse holds the image.
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + 160, memory.begin())) << n;
        EXPECT_TRUE(std::equal(image.begin() + 172, image.end(), memory.begin() + 172)) << n;
    }
}

TEST_F(CliRun, FastIcTypeAdvancesTheNumberWithoutARecord) {
    const auto r = RunArgs({Line("mice=3,ic=1"), "run", "--ic", "KVDE52xx", imagePath, "--count",
                            "3", "--interval-ms", "1", "--sn", "9"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(Lines(r.out),
                ::testing::ElementsAre(RunLine("9", "Write Pass", 1), RunLine("A", "Write Pass", 2),
                                       RunLine("B", "Write Pass", 3), "total 3 passed 3 failed 0"));
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(Mouse(n), Bytes(image)) << n;
}

TEST_F(CliRun, FailedWritesKeepTheNumberAndEndWithExitOne) {
    const auto r = RunArgs({Line("mice=2,lose-piece=3"), "run", imagePath, "--write-id", "--count",
                            "2", "--interval-ms", "1", "--retries", "1"});
    EXPECT_EQ(r.code, exitcode::Fail);
    EXPECT_THAT(Lines(r.out),
                ::testing::ElementsAre(RunLine("1", "Write Fail", 0), RunLine("1", "Write Fail", 0),
                                       "total 2 passed 0 failed 2"));
}

TEST_F(CliRun, CtrlCStopsAfterTheWriteInProgress) {
    InterruptingHost host;
    const auto r = RunArgs({Line("mice=3"), "run", imagePath, "--interval-ms", "1"}, &host);
    ASSERT_TRUE(host.pressed);
    EXPECT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(Lines(r.out),
                ::testing::ElementsAre(RunLine("1", "Write Pass", 1), "total 1 passed 1 failed 0"));
    EXPECT_EQ(Mouse(1), Bytes(image));
    EXPECT_TRUE(ReadBytes(dump + ".2").empty());
}

TEST_F(CliRun, NoTargetOnTheLineWaitsUntilCtrlC) {
    TimeoutHost host;
    const auto r = RunArgs({Line("mice=1,ic=1"), "run", imagePath, "--interval-ms", "1000"}, &host);
    ASSERT_TRUE(host.pressed);
    EXPECT_EQ(r.code, exitcode::Pass);
    EXPECT_EQ(r.out, "total 0 passed 0 failed 0\n");
}

TEST_F(CliRun, LogHoldsOneLinePerMouseWithTheNumberWritten) {
    const auto r = RunArgs({Line("mice=2"), "run", imagePath, "--write-id", "--count", "2",
                            "--interval-ms", "1", "--sn", "0x00FF", "--log", logPath});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    const auto text = ReadBytes(logPath);
    const auto lines = Lines(std::string(text.begin(), text.end()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "time,ic_type,vid_pid,operation,product_number,result,duration_ms,image_sha256");
    for (std::size_t i = 1; i < 3; ++i) {
        const auto f = Fields(lines[i]);
        ASSERT_EQ(f.size(), 8u) << lines[i];
        EXPECT_EQ(f[7], IdentifyImage(image).sha256Hex());
        EXPECT_THAT(f[0], ::testing::MatchesRegex(
                              "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}"));
        EXPECT_EQ(f[1], "KVDE31X");
        EXPECT_EQ(f[2], "3A5C:0C21");
        EXPECT_EQ(f[3], "write");
        EXPECT_EQ(f[4], i == 1 ? "0000FF" : "000100");
        EXPECT_EQ(f[5], "Write Pass");
        EXPECT_THAT(f[6], ::testing::MatchesRegex("[0-9]+"));
    }
}

TEST_F(CliRun, LogOfSingleOperationsFillsTheNumberOnlyForARecordWritten) {
    const std::string sim = "--simulate=dump=" + dump;
    ASSERT_EQ(RunArgs({sim, "write", imagePath, "--log", logPath}).code, exitcode::Pass);
    ASSERT_EQ(RunArgs({sim, "write", imagePath, "--write-id", "--sn", "42", "--log", logPath}).code,
              exitcode::Pass);
    ASSERT_EQ(RunArgs({"--simulate=ic=1", "write", "--ic", "1", imagePath, "--write-id", "--log",
                       logPath})
                  .code,
              exitcode::Pass);
    ASSERT_EQ(RunArgs({"--simulate=memory=" + dump, "verify", imagePath, "--log", logPath}).code,
              exitcode::Pass);
    ASSERT_EQ(RunArgs({"--simulate", "read-factory", "--log", logPath}).code, exitcode::Pass);
    RunArgs({"--simulate", "save", dir.file("copy"), "--log", logPath});
    // No mouse, no operation: no line.
    EXPECT_EQ(RunArgs({"--simulate=ic=1", "write", imagePath, "--log", logPath}).code,
              exitcode::NoMouse);

    const auto text = ReadBytes(logPath);
    const auto lines = Lines(std::string(text.begin(), text.end()));
    ASSERT_EQ(lines.size(), 7u);
    const auto column = [&](std::size_t line, std::size_t field) {
        return Fields(lines[line]).at(field);
    };
    EXPECT_EQ(column(1, 4), "");
    EXPECT_EQ(column(2, 4), "000042");
    EXPECT_EQ(column(3, 1), "KVDE52xx");
    EXPECT_EQ(column(3, 4), "");  // no record on the second IC type
    EXPECT_EQ(column(4, 3), "verify");
    EXPECT_EQ(column(5, 3), "read-factory");
    EXPECT_EQ(column(5, 5), "Read Ok");
    EXPECT_EQ(column(6, 3), "save");
    EXPECT_EQ(column(6, 5), "Save Pass");
}

TEST_F(CliRun, SetupErrorsEndBeforeTheLineIsPolled) {
    EXPECT_EQ(RunArgs({Line("mice=1"), "run", imagePath, "--count", "0"}).code, exitcode::Usage);
    EXPECT_EQ(RunArgs({Line("mice=1"), "run", dir.file("missing.bin")}).code, exitcode::Usage);
    EXPECT_EQ(RunArgs({Line("mice=1"), "run", imagePath, "--interval-ms", "-5"}).code,
              exitcode::Usage);

    WriteBytes(dir.file("short.bin"), std::vector<std::uint8_t>(100, 0));
    const auto shortImage = RunArgs({Line("mice=1"), "run", dir.file("short.bin")});
    EXPECT_EQ(shortImage.code, exitcode::Mismatch);
    EXPECT_EQ(shortImage.out, "BIN file not match IC Type\n");

    // A log that cannot be written stops the run before any mouse is touched.
    const auto badLog = RunArgs({Line("mice=1"), "run", imagePath, "--log", dir.file("")});
    EXPECT_EQ(badLog.code, exitcode::Usage);
    EXPECT_THAT(badLog.err, ::testing::HasSubstr("--log"));
    EXPECT_TRUE(ReadBytes(dump + ".1").empty());
}

}  // namespace
}  // namespace bw::test
