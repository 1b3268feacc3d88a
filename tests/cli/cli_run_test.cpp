#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>

#include "cli/cli_harness.h"
#include "frontend/interrupt_flag.h"
#include "image/image_identity.h"
#include "production/production_log.h"
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
    return MatchesPattern("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]  SN " + sn + "  " + result +
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

// Raises the given signals, back to back, before the piece numbered `at` of the first block
// transfer that gets that far (a transfer of at least `at` pieces); with `at` negative, at
// the -at-th wait instead (a settle wait, between mice).
class SignalAtPieceHost : public RecordingHost {
  public:
    SignalAtPieceHost(int at, std::vector<int> signals) : at_(at), signals_(std::move(signals)) {}
    void progress(int done, int total) override {
        RecordingHost::progress(done, total);
        if (done == at_) raise();
    }
    void sleepMs(int ms) override {
        RecordingHost::sleepMs(ms);
        if (sleeps == -at_) raise();
    }
    bool raised = false;

  private:
    void raise() {
        if (raised) return;
        raised = true;
        for (int s : signals_) std::raise(s);
    }
    int at_;
    std::vector<int> signals_;
};

// The second Ctrl-C aborts only within 3 s of the one before; SIGTERM never aborts.
TEST(InterruptFlag, SecondCtrlCWithinThreeSecondsAborts) {
    auto now = std::chrono::steady_clock::time_point{};
    InterruptFlag flag([&now] { return now; });
    EXPECT_EQ(flag.request(), StopRequest::None);
    EXPECT_EQ(flag.exitCode(4), 4);
    std::raise(SIGTERM);
    std::raise(SIGTERM);
    EXPECT_EQ(flag.request(), StopRequest::Finish);
    std::raise(SIGINT);
    EXPECT_EQ(flag.request(), StopRequest::Finish);
    now += std::chrono::milliseconds(3001);
    std::raise(SIGINT);
    EXPECT_EQ(flag.request(), StopRequest::Finish);
    now += std::chrono::milliseconds(2999);
    std::raise(SIGINT);
    EXPECT_EQ(flag.request(), StopRequest::Abort);
    EXPECT_EQ(flag.exitCode(0), exitcode::Terminated);  // the first signal decides
}

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

// A mouse that failed after its factory record went out may hold its number: the next one
// gets the next number. The run ends with exit 1.
TEST_F(CliRun, FailedWritesUseTheNumberTheirRecordTookAndEndWithExitOne) {
    const auto r = RunArgs({Line("mice=2,lose-piece=3"), "run", imagePath, "--write-id", "--count",
                            "2", "--interval-ms", "1", "--retries", "1", "--no-ledger"});
    EXPECT_EQ(r.code, exitcode::Fail);
    EXPECT_THAT(Lines(r.out),
                ::testing::ElementsAre(RunLine("1", "Write Fail", 0), RunLine("2", "Write Fail", 0),
                                       "total 2 passed 0 failed 2"));
}

// Once a mouse's factory record went out its number is used, with or without a ledger: the
// failed mouse may hold it, so the next mouse gets the next number (a read-back that fails
// on a stuck byte or lost pieces). A mouse whose record never went out keeps it for the
// next (AutoWriteHooks' test: the simulated line brings no next mouse after such a one).
TEST_F(CliRun, ANumberIsUsedOnceItsRecordWentOut) {
    const struct {
        std::string keys;
        std::string ledger;  // --no-ledger, or the default ledger
        std::vector<std::string> numbers;
    } rows[] = {
        {"mice=3,stuck-byte=10", "--no-ledger", {"1", "2", "3"}},
        {"mice=3,stuck-byte=10", "", {"1", "2", "3"}},
        {"mice=2,lose-piece=3", "", {"1", "2"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keys + " " + row.ledger);
        std::vector<std::string> args = {Line(row.keys),  "run", imagePath,   "--write-id",
                                         "--count",       "3",   "--retries", "1",
                                         "--interval-ms", "1"};
        if (!row.ledger.empty()) args.push_back(row.ledger);
        if (row.numbers.size() == 2) args[5] = "2";
        const auto r = RunArgs(args);
        EXPECT_EQ(r.code, exitcode::Fail);
        std::vector<std::string> numbers;
        for (const std::string& line : Lines(r.out)) {
            if (line.rfind("total ", 0) == 0) continue;
            const auto at = line.find("  SN ") + 5;
            numbers.push_back(line.substr(at, line.find(' ', at) - at));
        }
        EXPECT_EQ(numbers, row.numbers) << r.out;
        if (row.ledger == "--no-ledger" && row.numbers[1] == "2") {
            EXPECT_THAT(r.err, ::testing::HasSubstr("binwright run: SN 1 went out to this mouse, "
                                                    "which may hold it: the next mouse gets 2\n"));
        }
    }
}

// Product number 0 is a number: printed as 0, not as a blank.
TEST_F(CliRun, NumberZeroIsPrinted) {
    const auto r = RunArgs({Line("mice=1"), "run", imagePath, "--write-id", "--sn", "0", "--count",
                            "1", "--interval-ms", "1"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_THAT(Lines(r.out),
                ::testing::ElementsAre(RunLine("0", "Write Pass", 1), "total 1 passed 1 failed 0"));
}

TEST_F(CliRun, CtrlCStopsAfterTheWriteInProgress) {
    InterruptingHost host;
    const auto r = RunArgs({Line("mice=3"), "run", imagePath, "--interval-ms", "1"}, &host);
    ASSERT_TRUE(host.pressed);
    EXPECT_EQ(r.code, exitcode::Interrupted) << r.err;
    EXPECT_THAT(Lines(r.out),
                ::testing::ElementsAre(RunLine("1", "Write Pass", 1), "total 1 passed 1 failed 0"));
    EXPECT_EQ(Mouse(1), Bytes(image));
    EXPECT_TRUE(ReadBytes(dump + ".2").empty());
}

// Signals at a piece of the first write (or read): the attempt in progress ends, nothing
// further starts, the mouse is logged with its outcome and the exit code names the signal.
TEST_F(CliRun, SignalsStopEveryCommandAsTheRulesSay) {
    struct Row {
        const char* args;     // "@" stands for the image (the target of save); "line:K" for
                              // the simulated line with dump and keys K
        const char* signals;  // "INT", "TERM" or "INT INT", raised back to back
        int at;               // before this piece; negative: at this wait
        const char* result;   // the result line's text, or the one printed
    };
    const std::vector<Row> rows = {
        // SIGTERM (a service stopped) during the first of three mice: it is still written.
        {"line:mice=3 run @ --interval-ms 1", "TERM", 100, "Write Pass"},
        // Every attempt would fail, up to 9999 x 9999 of them: one attempt, then the end.
        {"line:mice=2,nack=7 run @ --total 9999 --retries 9999", "INT", 1, "Write Fail"},
        {"line:mice=2,ic=1 run --ic 1 @ --retries 9999", "INT", 50, "Write Pass"},
        // Two Ctrl-C: stopped at the next piece, the exchange closed.
        {"line:mice=2 run @ --interval-ms 1", "INT INT", 100, "Aborted"},
        {"--simulate write @ --write-id", "INT INT", 10, "Aborted"},
        {"--simulate=memory=@ verify @", "INT", 10, "Verify Pass"},
        {"--simulate save @", "INT INT", 10, "Aborted"},
        {"--simulate read-factory", "TERM", 1, "Read Ok"},
        // During the settle wait after the first mouse arrived: no mouse is started at all.
        {"line:mice=2 run @", "TERM", -50, "total 0 passed 0 failed 0"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        for (const std::string& f : {logPath, dump + ".1", dump + ".2"}) std::filesystem::remove(f);
        const std::string trace = dir.file("trace" + std::to_string(++n) + ".jsonl");
        const std::string saved = dir.file("saved" + std::to_string(n));
        const bool save = std::string(row.args).find(" save ") != std::string::npos;
        std::vector<std::string> args = {"--trace", trace};
        std::istringstream words(row.args);
        for (std::string a; words >> a;) {
            if (a.rfind("line:", 0) == 0) a = Line(a.substr(5));
            if (const auto at = a.find('@'); at != std::string::npos) {
                a.replace(at, 1, save ? saved : imagePath);
            }
            args.push_back(a);
        }
        std::vector<int> signals;
        std::istringstream names(row.signals);
        for (std::string s; names >> s;) signals.push_back(s == "INT" ? SIGINT : SIGTERM);
        const int code = signals[0] == SIGINT ? exitcode::Interrupted : exitcode::Terminated;
        args.insert(args.end(), {"--log", logPath});
        SignalAtPieceHost host(row.at, signals);
        const auto r = RunArgs(args, &host);
        ASSERT_TRUE(host.raised);
        EXPECT_EQ(r.code, code) << r.out << r.err;
        const auto out = Lines(r.out);
        ASSERT_FALSE(out.empty());
        EXPECT_THAT(r.out, ::testing::HasSubstr(row.result));
        if (row.at < 0) {
            EXPECT_EQ(out.size(), 1u);
            EXPECT_EQ(ReadText(logPath), std::string(kLogHeader) + "\n");  // no mouse's line
            EXPECT_TRUE(ReadBytes(dump + ".1").empty());
            EXPECT_EQ(ReadText(trace).find("\"set\""), std::string::npos);
            continue;
        }
        if (args[3] == "run") {
            // One mouse, then the totals; the next mouse was never touched.
            EXPECT_EQ(out.size(), 2u);
            const bool passed = std::string(row.result) == "Write Pass";
            EXPECT_EQ(out.back(),
                      std::string("total 1 passed ") + (passed ? "1 failed 0" : "0 failed 1"));
            EXPECT_TRUE(ReadBytes(dump + ".2").empty());
            if (passed) {
                EXPECT_EQ(Mouse(1), Bytes(image));
            }
        }
        // The mouse is logged with its outcome.
        const auto logLines = Lines(ReadText(logPath));
        ASSERT_EQ(logLines.size(), 2u);
        EXPECT_EQ(Fields(logLines[1]).at(5), row.result);
        if (std::string(row.result) == "Aborted") {
            EXPECT_TRUE(ReadBytes(saved + ".bin").empty());
            // The last two commands sent close the exchange: 8, then 2.
            std::vector<std::string> sets;
            for (const auto& line : Lines(ReadText(trace))) {
                if (line.find("\"set\"") != std::string::npos) sets.push_back(line);
            }
            ASSERT_GE(sets.size(), 2u);
            EXPECT_THAT(sets[sets.size() - 2], ::testing::HasSubstr("\"0408"));
            EXPECT_THAT(sets.back(), ::testing::HasSubstr("\"0402"));
        }
    }
}

TEST_F(CliRun, NoTargetOnTheLineWaitsUntilCtrlC) {
    TimeoutHost host;
    const auto r = RunArgs({Line("mice=1,ic=1"), "run", imagePath, "--interval-ms", "1000"}, &host);
    ASSERT_TRUE(host.pressed);
    EXPECT_EQ(r.code, exitcode::Interrupted);
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
              "time,ic_type,vid_pid,operation,product_number,result,duration_ms,image_sha256,"
              "reason");
    for (std::size_t i = 1; i < 3; ++i) {
        const auto f = Fields(lines[i]);
        ASSERT_EQ(f.size(), 9u) << lines[i];
        EXPECT_EQ(f[8], "");  // a pass has no reason
        EXPECT_EQ(f[7], IdentifyImage(image).sha256Hex());
        EXPECT_THAT(f[0], MatchesPattern(
                              "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}"));
        EXPECT_EQ(f[1], "KVDE31X");
        EXPECT_EQ(f[2], "3A5C:0C21");
        EXPECT_EQ(f[3], "write");
        EXPECT_EQ(f[4], i == 1 ? "0000FF" : "000100");
        EXPECT_EQ(f[5], "Write Pass");
        EXPECT_THAT(f[6], MatchesPattern("[0-9]+"));
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
    // Every block write refused, the record's too: it was never sent, so no number is logged.
    ASSERT_EQ(RunArgs({"--simulate=nack=6", "write", imagePath, "--write-id", "--retries", "1",
                       "--log", logPath})
                  .code,
              exitcode::Fail);
    ASSERT_EQ(RunArgs({"--simulate=memory=" + dump, "verify", imagePath, "--log", logPath}).code,
              exitcode::Pass);
    ASSERT_EQ(RunArgs({"--simulate", "read-factory", "--log", logPath}).code, exitcode::Pass);
    RunArgs({"--simulate", "save", dir.file("copy"), "--log", logPath});
    // No mouse, no operation: no line.
    EXPECT_EQ(RunArgs({"--simulate=ic=1", "write", imagePath, "--log", logPath}).code,
              exitcode::NoMouse);

    const auto text = ReadBytes(logPath);
    const auto lines = Lines(std::string(text.begin(), text.end()));
    ASSERT_EQ(lines.size(), 8u);
    const auto column = [&](std::size_t line, std::size_t field) {
        return Fields(lines[line]).at(field);
    };
    EXPECT_EQ(column(1, 4), "");
    EXPECT_EQ(column(2, 4), "000042");
    EXPECT_EQ(column(3, 1), "KVDE52xx");
    EXPECT_EQ(column(3, 4), "");  // no record on the second IC type
    EXPECT_EQ(column(4, 5), "Write Fail");
    EXPECT_EQ(column(4, 4), "");
    EXPECT_EQ(column(5, 3), "verify");
    EXPECT_EQ(column(6, 3), "read-factory");
    EXPECT_EQ(column(6, 5), "Read Ok");
    EXPECT_EQ(column(7, 3), "save");
    EXPECT_EQ(column(7, 5), "Save Pass");
}

// After FFFFFF the next number does not fit the record: that mouse is not touched and the
// run ends with exit 2, instead of giving it 000000 again.
TEST_F(CliRun, ANumberPastTheRecordStopsTheRunBeforeTheMouseIsWritten) {
    const auto r = RunArgs({Line("mice=3"), "run", imagePath, "--write-id", "--sn", "FFFFFE",
                            "--interval-ms", "1", "--log", logPath, "--no-ledger"});
    EXPECT_EQ(r.code, exitcode::Usage);
    EXPECT_THAT(Lines(r.out), ::testing::ElementsAre(RunLine("FFFFFE", "Write Pass", 1),
                                                     RunLine("FFFFFF", "Write Pass", 2),
                                                     "total 2 passed 2 failed 0"));
    EXPECT_THAT(r.err, ::testing::HasSubstr("product number 1000000 does not fit the factory "
                                            "record (6 hex digits)"));
    const auto second = Mouse(2);
    ASSERT_EQ(second.size(), 2048u);
    EXPECT_EQ(std::vector<std::uint8_t>(second.begin() + 166, second.begin() + 169),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(ReadBytes(dump + ".3").empty());
}

#ifndef _WIN32  // a file size limit (ulimit) on a child process
// The real program under a file size limit of 4096 bytes (a disk that fills up), with a log
// of `size` bytes. A log that cannot take a line at the start stops the command before the
// mouse is touched (exit 2); one that fills up after a mouse: exit 6 with the reason, and
// `run` takes no further mouse.
TEST_F(CliRun, AFullLogStopsTheStartAndALostLineStopsTheRun) {
    const std::string err = dir.file("err.txt");
    const std::string out = dir.file("out.txt");
    const auto runLimited = [&](const std::string& args, std::size_t size) {
        std::string log = std::string(kLogHeader) + "\n";
        log += std::string(size - log.size() - 1, 'x') + "\n";
        WriteBytes(logPath, std::vector<std::uint8_t>(log.begin(), log.end()));
        const std::string command = "bash -c \"trap '' XFSZ; ulimit -f 4; exec '" +
                                    std::string(BINWRIGHT_CLI_PATH) + "' " + args + " --log '" +
                                    logPath + "'\" >'" + out + "' 2>'" + err + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(
        runLimited("--simulate=ic=1,dump=" + dump + " write --ic 1 '" + imagePath + "'", 4096),
        exitcode::Usage);
    EXPECT_EQ(ReadText(out), "");
    EXPECT_THAT(ReadText(err), ::testing::HasSubstr("--log: \"" + logPath +
                                                    "\" cannot be written: File too large"));
    EXPECT_TRUE(ReadBytes(dump).empty());         // the line was not even started
    EXPECT_EQ(ReadBytes(logPath).size(), 4096u);  // as it was

    // Room for the start's probe and one line, not two.
    EXPECT_EQ(runLimited(
                  "--simulate=mice=3,ic=1 run --ic 1 '" + imagePath + "' --interval-ms 1 --count 3",
                  3900),
              exitcode::NotLogged);
    // The second line is cut at the limit; no third mouse is taken.
    EXPECT_THAT(Lines(ReadText(out)),
                ::testing::ElementsAre(RunLine("1", "Write Pass", 1), RunLine("2", "Write Pass", 2),
                                       "total 2 passed 2 failed 0"));
    EXPECT_THAT(ReadText(err), ::testing::HasSubstr("done, but not logged: \"" + logPath +
                                                    "\" cannot be written: File too large"));
}

#endif

TEST_F(CliRun, SetupErrorsEndBeforeTheLineIsPolled) {
    EXPECT_EQ(RunArgs({Line("mice=1"), "run", imagePath, "--count", "0"}).code, exitcode::Usage);
    EXPECT_EQ(RunArgs({Line("mice=1"), "run", dir.file("missing.bin")}).code, exitcode::Usage);
    EXPECT_EQ(RunArgs({Line("mice=1"), "run", imagePath, "--interval-ms", "-5"}).code,
              exitcode::Usage);

    WriteBytes(dir.file("short.bin"), std::vector<std::uint8_t>(100, 0));
    const auto shortImage = RunArgs({Line("mice=1"), "run", dir.file("short.bin")});
    EXPECT_EQ(shortImage.code, exitcode::Usage);
    EXPECT_EQ(shortImage.err, dir.file("short.bin") + ": 100 bytes, an image has 2048\n");

    // A log that cannot be written stops the run before any mouse is touched.
    const auto badLog = RunArgs({Line("mice=1"), "run", imagePath, "--log", dir.file("")});
    EXPECT_EQ(badLog.code, exitcode::Usage);
    EXPECT_THAT(badLog.err, ::testing::HasSubstr("--log"));
    EXPECT_TRUE(ReadBytes(dump + ".1").empty());
}

}  // namespace
}  // namespace bw::test
