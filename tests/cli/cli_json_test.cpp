#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_harness.h"
#include "production/result_text.h"

namespace bw::test {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;

// Raises SIGINT twice before piece 10 of the first block transfer: a stop at the next piece.
class AbortingHost : public RecordingHost {
  public:
    void progress(int done, int total) override {
        RecordingHost::progress(done, total);
        if (done == 10 && !raised) {
            raised = true;
            std::raise(SIGINT);
            std::raise(SIGINT);
        }
    }
    bool raised = false;
};

// Every line of --json output parses and holds every field, for each kind of end; the
// reason is the same in the JSON, on stderr after the result and in the log.
TEST(CliJson, EveryOutcomeGivesALineWithEveryField) {
    TempFolder dir;
    const Image image = PatternImage(5);
    const std::string img = dir.file("img.bin");
    WriteImageFile(img, image);
    WriteBytes(dir.file("short.bin"), {1, 2, 3});
    struct Row {
        std::string args;        // "@" the image, "%" the folder
        std::string result;      // "" for null
        std::string code;        // "" for no reason
        int exit;                // of the command
        bool abort = false;      // two Ctrl-C at piece 10
        std::string extra = "";  // a further field the line holds
    };
    const std::vector<Row> rows = {
        {"--simulate write @ --write-id --sn 2A", "Write Pass", "", 0},
        {"--simulate=stuck-byte=10 write @", "Write Fail", "mismatch", 1},
        {"--simulate=nack=1 verify @", "No answer", "no-answer", 5},
        {"--simulate=status1=55 write @", "Bad status", "bad-status", 5},
        {"--simulate=status2=0 save %/x", "BIN file not match Mouse", "status-bit2-clear", 4},
        {"--simulate=vid=1234 read-factory", "No Find Mouse", "no-target", 3},
        {"--simulate write @", "Aborted", "interrupted", 130, true},
        {"--simulate write %/short.bin", "", "bad-image", 2},
        {"--simulate save %/saved", "Save Pass", "", 0, false, "file"},
        {"--simulate read-factory", "Read Ok", "", 0, false, "factory"},
        {"--simulate=ic=1,mice=2,lose-piece=2 run @ --ic 1 --verify-after-write --count 2 "
         "--interval-ms 1",
         "Write Fail", "piece-lost", 1},
    };
    const std::vector<std::string> fields = {
        "operation", "result", "reason",         "exit_code", "ic_type",     "vid",    "pid",
        "path",      "image",  "product_number", "attempts",  "duration_ms", "started"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        const std::string log = dir.file("log.csv");
        std::filesystem::remove(log);
        std::vector<std::string> args;
        std::istringstream words(row.args + " --json --log " + log);
        for (std::string a; words >> a;) {
            if (a == "@") a = img;
            if (a[0] == '%') a = dir.file(a.substr(2));
            args.push_back(a);
        }
        AbortingHost aborting;
        const auto r = RunArgs(args, row.abort ? &aborting : nullptr);
        EXPECT_EQ(r.code, row.exit) << r.err;

        std::vector<Json> lines;
        std::istringstream out(r.out);
        for (std::string line; std::getline(out, line);) lines.push_back(Json::parse(line));
        const bool run = args[1] == "run";
        ASSERT_EQ(lines.size(), run ? 3u : 1u) << r.out;
        const Json& last = lines.back();
        EXPECT_EQ(last["exit_code"], row.exit);
        if (run) {
            EXPECT_EQ(last["operation"], "run");
            EXPECT_EQ(last["mice"], 2);
        }
        const Json& line = lines.front();
        for (const auto& f : fields) EXPECT_TRUE(line.contains(f)) << f;
        if (!row.extra.empty()) {
            EXPECT_TRUE(line.contains(row.extra)) << row.extra;
        }
        EXPECT_EQ(line["result"], row.result.empty() ? Json(nullptr) : Json(row.result));
        EXPECT_THAT(line["started"].get<std::string>(),
                    MatchesPattern("[0-9-]{10}T[0-9:]{8}\\.[0-9]{3}Z"));
        EXPECT_EQ(line["product_number"],
                  row.args.find("--sn") != std::string::npos ? Json("00002A") : Json(nullptr));
        // Human text went to stderr only.
        EXPECT_THAT(r.err, HasSubstr(row.result));
        if (row.code.empty()) {
            EXPECT_TRUE(line["reason"].is_null());
            continue;
        }
        const Json& reason = line["reason"];
        EXPECT_EQ(reason["code"], row.code);
        EXPECT_TRUE(reason["details"].is_object());
        const std::string text = reason["text"];
        EXPECT_THAT(r.err, HasSubstr((row.result.empty() ? "" : row.result + ": ") + text));
        // The log names the code of every operation that ran.
        if (row.exit != exitcode::Usage && row.exit != exitcode::NoMouse) {
            EXPECT_THAT(ReadText(log), HasSubstr("," + row.code));
        }
    }
}

// An option refused before the mouse is touched still gives the line a script reads: the
// operation, "result": null, the error as a bad-parameters reason, exit code 2 (and the
// totals after it for run).
TEST(CliJson, ARefusedOptionGivesItsLineWithTheError) {
    TempFolder dir;
    const std::string img = dir.file("img.bin");
    WriteImageFile(img, PatternImage(5));
    const std::string config = dir.file("line.conf");
    const std::string lines = "image = " + img + "\nic = 9\n";
    WriteBytes(config, std::vector<std::uint8_t>(lines.begin(), lines.end()));
    struct Row {
        std::string args;  // "@" the image
        std::string operation;
        std::string says;  // in the reason's text and on stderr
    };
    const std::vector<Row> rows = {
        {"write @ --sleep abc", "write", "--sleep: 'abc' is not a number from 0 to 999"},
        {"write @ --ic 9", "write", "--ic: '9' is not an IC type"},
#ifndef _WIN32  // a device file
        {"write @ --log /dev/null", "write", "is a device, not a regular file"},
#endif
        {"write @ --expect-sha256 00", "write", "--expect-sha256: '00' is not a SHA-256"},
        {"write @ --sn 1000000", "write", "--sn: '1000000' is not a hexadecimal number"},
        {"verify @ --ic 9", "verify", "--ic: '9' is not an IC type"},
        {"save " + dir.file("x") + " --pid 12345", "save", "--pid: '12345'"},
        {"read-factory --vid x", "read-factory", "--vid: 'x'"},
        {"run @ --retries 0 --count 1", "write", "--retries: '0' is not a number from 1 to 9999"},
        {"run @ --gang --blocks 9 --count 1", "write", "--blocks: '9'"},
        {"run @ --count 0", "write", "--count"},
        {"run --count 1 --config " + config, "write", "--ic: '9' is not an IC type"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        std::vector<std::string> args = {"--simulate=mice=1"};
        std::istringstream words(row.args + " --json");
        for (std::string a; words >> a;) args.push_back(a == "@" ? img : a);
        const auto r = RunArgs(args);
        EXPECT_EQ(r.code, exitcode::Usage);
        EXPECT_THAT(r.err, HasSubstr(row.says));

        std::vector<Json> lines;
        std::istringstream out(r.out);
        for (std::string line; std::getline(out, line);) lines.push_back(Json::parse(line));
        const bool run = args[1] == "run";
        ASSERT_EQ(lines.size(), run ? 2u : 1u) << r.out;
        const Json& line = lines.front();
        EXPECT_EQ(line["operation"], row.operation);
        EXPECT_TRUE(line["result"].is_null());
        EXPECT_EQ(line["reason"]["code"], "bad-parameters");
        EXPECT_THAT(line["reason"]["text"].get<std::string>(), HasSubstr(row.says));
        EXPECT_EQ(line["exit_code"], exitcode::Usage);
        EXPECT_TRUE(line["path"].is_null());
        EXPECT_EQ(line["attempts"], 0);
        if (run) {
            EXPECT_EQ(lines.back()["operation"], "run");
            EXPECT_EQ(lines.back()["mice"], 0);
            EXPECT_EQ(lines.back()["exit_code"], exitcode::Usage);
        }
    }
}

}  // namespace
}  // namespace bw::test
