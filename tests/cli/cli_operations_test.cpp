#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_harness.h"
#include "image/image_identity.h"
#include "production/result_text.h"

namespace bw::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class CliOperations : public ::testing::Test {
  protected:
    TempFolder dir;
    Image image = PatternImage(7);
    std::string imagePath = dir.file("image.bin");
    std::string dumpPath = dir.file("out.bin");

    void SetUp() override { WriteImageFile(imagePath, image); }
    std::string Sim(const std::string& keys = "") {
        return "--simulate=dump=" + dumpPath + (keys.empty() ? "" : "," + keys);
    }
};

TEST_F(CliOperations, WriteLeavesTheImageInTheMouse) {
    const auto r = RunArgs({Sim(), "write", imagePath});
    EXPECT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_EQ(r.out, "Write Pass\n");
    EXPECT_EQ(ReadBytes(dumpPath), Bytes(image));
}

TEST_F(CliOperations, WriteWithProductIdStoresTheFactoryRecord) {
    const auto r = RunArgs({Sim(), "write", imagePath, "--write-id", "--sn", "0x00ABCD", "--line",
                            "c", "--station", "8", "--factory-no", "2"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    Image expected = image;
    const std::uint8_t record[] = {0x00, 0x05, 0x20, 0x20, 0x05, 0x27,
                                   0x00, 0xAB, 0xCD, 0x01, 0x02, 0x07};
    std::copy(std::begin(record), std::end(record), expected.begin() + FactoryRecordOffset);
    EXPECT_EQ(ReadBytes(dumpPath), Bytes(expected));
}

TEST_F(CliOperations, Write256ModeLeavesLaterBlocksUntouched) {
    const auto r = RunArgs({Sim(), "write", imagePath, "--format", "256", "--blocks", "3"});
    ASSERT_EQ(r.code, exitcode::Pass) << r.err;
    const auto dump = ReadBytes(dumpPath);
    ASSERT_EQ(dump.size(), 2048u);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 768, dump.begin()));
    EXPECT_TRUE(std::all_of(dump.begin() + 768, dump.end(), [](auto b) { return b == 0xFF; }));
}

TEST_F(CliOperations, SecondIcTypeRoundTrip) {
    ASSERT_EQ(RunArgs({Sim("ic=1,split=1"), "write", "--ic", "KVDE52xx", imagePath}).code,
              exitcode::Pass);
    EXPECT_EQ(ReadBytes(dumpPath), Bytes(image));
    const auto verify =
        RunArgs({"--simulate=ic=2,memory=" + dumpPath, "verify", "--ic", "2", imagePath});
    EXPECT_EQ(verify.code, exitcode::Pass) << verify.err;
    EXPECT_EQ(verify.out, "Verify Pass\n");
}

TEST_F(CliOperations, VerifyPassesAndFails) {
    const auto pass = RunArgs({"--simulate=memory=" + imagePath, "verify", imagePath});
    EXPECT_EQ(pass.code, exitcode::Pass) << pass.err;
    EXPECT_EQ(pass.out, "Verify Pass\n");

    Image other = image;
    other[500] ^= 0xFF;
    const std::string otherPath = dir.file("other.bin");
    WriteImageFile(otherPath, other);
    const auto fail = RunArgs({"--simulate=memory=" + otherPath, "verify", imagePath});
    EXPECT_EQ(fail.code, exitcode::Fail);
    EXPECT_EQ(fail.out, "Verify Fail\n");
}

TEST_F(CliOperations, SaveWritesTheDeviceMemory) {
    // ".bin" is appended to a bare name, and not to one that already ends in it.
    const auto bare = RunArgs({"--simulate=memory=" + imagePath, "save", dir.file("dump")});
    EXPECT_EQ(bare.code, exitcode::Pass) << bare.err;
    EXPECT_THAT(bare.out, StartsWith("Save Pass\n"));
    EXPECT_EQ(ReadBytes(dir.file("dump.bin")), Bytes(image));

    const auto named = RunArgs({"--simulate=memory=" + imagePath, "save", dir.file("x.BIN")});
    EXPECT_EQ(named.code, exitcode::Pass) << named.err;
    EXPECT_EQ(ReadBytes(dir.file("x.BIN")), Bytes(image));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.BIN.bin")));
}

TEST_F(CliOperations, SaveWritesNothingWhenTheReadFails) {
    const std::string target = dir.file("lost.bin");
    WriteBytes(target, {1, 2, 3});  // an existing file is left as it was
    const auto r = RunArgs({"--simulate=memory=" + imagePath + ",lose-piece=5", "save", target});
    EXPECT_NE(r.code, exitcode::Pass);
    EXPECT_THAT(r.out, HasSubstr("Save Fail"));
    EXPECT_EQ(ReadBytes(target), (std::vector<std::uint8_t>{1, 2, 3}));

    const auto noFolder = RunArgs({"--simulate", "save", dir.file("missing/x.bin")});
    EXPECT_EQ(noFolder.code, exitcode::Usage);
}

TEST_F(CliOperations, ReadFactoryShowsTheFieldsAsTheWindowDoes) {
    Image memory = image;
    const std::uint8_t record[] = {0x00, 0x05, 0x20, 0x20, 0x05, 0x27,
                                   0x00, 0x00, 0x01, 0x00, 0x19, 0x07};
    std::copy(std::begin(record), std::end(record), memory.begin() + FactoryRecordOffset);
    const std::string memPath = dir.file("mem.bin");
    WriteImageFile(memPath, memory);
    const auto r = RunArgs({"--simulate=memory=" + memPath, "read-factory"});
    EXPECT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_EQ(r.out,
              "Read Ok\nProduct: 5\nDate: 20200527\nSN: 1\nFactory: 1\nLine: Z\nStation: 8\n");

    // The second IC type has no read-back.
    const auto second = RunArgs({"--simulate=ic=1", "read-factory", "--ic", "1"});
    EXPECT_EQ(second.code, exitcode::Fail);
    EXPECT_EQ(second.out, "Read Fail\n");
}

TEST_F(CliOperations, ReadFactoryOfAnErasedRecord) {
    const auto r = RunArgs({"--simulate", "read-factory"});  // memory all 0xFF
    EXPECT_EQ(r.code, exitcode::Pass) << r.err;
    EXPECT_EQ(r.out, "Read Ok\nProduct: FFFF\nDate: \nSN: FFFFFF\nFactory: \nLine: \nStation: \n");
}

TEST_F(CliOperations, ExitCodesOfTheDeviceEnds) {
    struct Case {
        std::string scenario;
        std::vector<std::string> extra;
        int code;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"", {"--vid", "1234"}, exitcode::NoMouse, "No Find Mouse\n"},
        {"release=0105", {}, exitcode::NoMouse, "No Find Mouse\n"},
        {"chip=36", {}, exitcode::Mismatch, "BIN file not match Mouse\n"},
        {"status2=00", {}, exitcode::Mismatch, "BIN file not match Mouse\n"},
        {"status1=AB", {}, exitcode::NoAnswer, ""},
        {"nack=1", {}, exitcode::NoAnswer, ""},
        {"nack=3", {}, exitcode::NoAnswer, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--simulate=" + c.scenario, "write", imagePath};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto r = RunArgs(args);
        EXPECT_EQ(r.code, c.code) << c.scenario;
        EXPECT_EQ(r.out, c.out) << c.scenario;
    }
    // A silent mouse is said so on stderr, though the window shows nothing.
    EXPECT_THAT(RunArgs({"--simulate=nack=1", "verify", imagePath}).err,
                HasSubstr("did not answer"));
}

TEST_F(CliOperations, FaultsNeverPass) {
    for (const std::string faults : {"lose-piece=3", "fail-after=40", "nack=5", "nack=4"}) {
        for (const std::string cmd : {"write", "verify"}) {
            const auto r =
                RunArgs({"--simulate=memory=" + imagePath + "," + faults, cmd, imagePath});
            EXPECT_NE(r.code, exitcode::Pass) << faults << " " << cmd;
            EXPECT_THAT(r.out, ::testing::Not(HasSubstr("Pass"))) << faults << " " << cmd;
        }
    }
    // Second IC type: a write has no read-back, so a lost read piece shows in a verify.
    const auto write = RunArgs({"--simulate=ic=1,fail-after=30", "write", "--ic", "1", imagePath});
    EXPECT_EQ(write.code, exitcode::Fail);
    EXPECT_EQ(write.out, "Write Fail\n");
    const auto verify = RunArgs(
        {"--simulate=ic=1,lose-piece=3,memory=" + imagePath, "verify", "--ic", "1", imagePath});
    EXPECT_EQ(verify.code, exitcode::Fail);
    EXPECT_EQ(verify.out, "Verify Fail\n");
}

TEST_F(CliOperations, WrongSizeImageIsRejectedBeforeTheDevice) {
    const std::string shortPath = dir.file("short.bin");
    WriteBytes(shortPath, std::vector<std::uint8_t>(2047, 0));
    const std::string trace = dir.file("t.jsonl");
    const auto r = RunArgs({"--simulate", "--trace", trace, "write", shortPath});
    // The station's error, not the mouse's: exit 2 with the path and the reason.
    EXPECT_EQ(r.code, exitcode::Usage);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, shortPath + ": 2047 bytes, an image has 2048\n");
    EXPECT_TRUE(ReadBytes(trace).empty());

    const auto missing = RunArgs({"--simulate", "verify", dir.file("none.bin")});
    EXPECT_EQ(missing.code, exitcode::Usage);
    EXPECT_THAT(missing.err, HasSubstr("none.bin"));
}

TEST_F(CliOperations, BadOptionsStopBeforeAnyDeviceCommand) {
    const std::string trace = dir.file("t.jsonl");
    const std::vector<std::vector<std::string>> bad = {
        {"--ic", "7"},
        {"--ic", "KVDE99"},
        {"--vid", "xyz"},
        {"--pid", "12345"},
        {"--blocks", "9"},
        {"--blocks", "0"},
        {"--format", "512"},
        {"--retries", "-1"},
        {"--retries", "0"},
        {"--sleep", "1000"},
        {"--line", "1"},
        {"--station", "9"},
        {"--factory-no", "0"},
        {"--sn", "1000000"},
        {"--date", "2020052700"},
        {"--type", "g"},
        {"--expect-sha256", "12ab"},
    };
    for (const auto& option : bad) {
        std::vector<std::string> args = {"--simulate=dump=" + dumpPath, "--trace", trace, "write",
                                         imagePath};
        args.insert(args.end(), option.begin(), option.end());
        const auto r = RunArgs(args);
        EXPECT_EQ(r.code, exitcode::Usage) << option[0] << " " << option[1];
        EXPECT_THAT(r.err, HasSubstr(option[0])) << option[0];
        EXPECT_TRUE(ReadBytes(trace).empty()) << option[0];
        EXPECT_FALSE(std::filesystem::exists(dumpPath)) << option[0];
    }
}

// No retry means no attempt: refused before the mouse is touched, in every command that
// writes, from the command line or a station config.
TEST_F(CliOperations, NoRetryIsRefusedBeforeTheMouseIsTouched) {
    const std::string config = dir.file("line.conf");
    const std::string text = "image = " + imagePath + "\nretries = 0\n";
    WriteBytes(config, std::vector<std::uint8_t>(text.begin(), text.end()));
    const std::vector<std::vector<std::string>> commands = {
        {"--simulate=dump=" + dumpPath, "write", imagePath, "--retries", "0"},
        {"--simulate=mice=1,dump=" + dumpPath, "run", imagePath, "--retries", "0", "--count", "1"},
        {"--simulate=slots=1,mice=1,dump=" + dumpPath, "run", imagePath, "--gang", "--retries", "0",
         "--count", "1"},
        {"--simulate=mice=1,dump=" + dumpPath, "run", "--config", config, "--count", "1"},
    };
    for (auto args : commands) {
        const std::string trace = dir.file("t.jsonl");
        args.insert(args.begin(), {"--trace", trace});
        const auto r = RunArgs(args);
        const std::string name = ::testing::PrintToString(args);
        EXPECT_EQ(r.code, exitcode::Usage) << name;
        EXPECT_THAT(r.err, HasSubstr("--retries: '0' is not a number from 1 to 9999")) << name;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_TRUE(ReadBytes(trace).empty()) << name;
    }
}

TEST_F(CliOperations, ExpectSha256LoadsOnlyTheApprovedImage) {
    const std::string approved = IdentifyImage(image).sha256Hex();
    const std::string other = IdentifyImage(Image{}).sha256Hex();
    const std::string trace = dir.file("t.jsonl");
    const std::vector<std::vector<std::string>> commands = {
        {"write", imagePath},
        {"verify", imagePath},
        {"run", imagePath, "--count", "1", "--interval-ms", "1"},
    };
    for (const auto& command : commands) {
        const std::string sim = "--simulate=mice=1,memory=" + imagePath;
        auto args = std::vector<std::string>{sim, "--trace", trace};
        args.insert(args.end(), command.begin(), command.end());

        auto match = args;
        match.insert(match.end(), {"--expect-sha256", approved});
        const auto pass = RunArgs(match);
        EXPECT_EQ(pass.code, exitcode::Pass) << command[0] << pass.err;
        EXPECT_THAT(pass.err,
                    HasSubstr("sha256 " + approved + "  crc32 " + IdentifyImage(image).crc32Hex()));

        auto mismatch = args;
        mismatch.insert(mismatch.end(), {"--expect-sha256", other});
        std::filesystem::remove(trace);
        const auto refused = RunArgs(mismatch);
        EXPECT_EQ(refused.code, exitcode::Usage) << command[0];
        EXPECT_EQ(refused.err, "image.bin is not the approved image (sha256 " + approved + ")\n");
        EXPECT_EQ(refused.out, "") << command[0];
        EXPECT_TRUE(ReadBytes(trace).empty()) << command[0];
    }
}

// Every byte a write writes is read back before "Write Pass": by default on every IC type,
// whatever the block count; --no-verify-after-write (with a warning) goes back to the
// transfers alone (second and third IC types) or the first N blocks (first IC type).
TEST_F(CliOperations, EveryWriteIsReadBackUnlessTheCommandLineOptsOut) {
    image[0x2A7] = 0x5C;  // the simulated memory starts all FF
    image[0x300] = 0x5C;
    image[0x500] = 0x5C;
    WriteImageFile(imagePath, image);
    struct Case {
        std::string scenario;
        std::vector<std::string> options;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"ic=1,stuck-byte=300", {"--ic", "1"}, "Write Fail\n"},
        {"ic=2,stuck-byte=0x2a7", {"--ic", "2"}, "Write Fail\n"},
        {"ic=1,stuck-byte=2A7", {"--ic", "1", "--verify-after-write"}, "Write Fail\n"},
        {"ic=1", {"--ic", "1"}, "Write Pass\n"},
        {"stuck-byte=500", {"--blocks", "1"}, "Write Fail\n"},
        {"stuck-byte=2A7", {"--blocks", "2"}, "Write Fail\n"},
        {"stuck-byte=2A7", {}, "Write Fail\n"},
        // Only what the write wrote is compared: blocks 0 and 1 end at 0x1FF.
        {"ic=1,stuck-byte=2A7", {"--ic", "1", "--format", "256", "--blocks", "2"}, "Write Pass\n"},
        {"ic=1,stuck-byte=2A7", {"--ic", "1", "--format", "256", "--blocks", "3"}, "Write Fail\n"},
        // The opt-out: the transfers alone, or the first N blocks.
        {"ic=1,stuck-byte=300", {"--ic", "1", "--no-verify-after-write"}, "Write Pass\n"},
        {"stuck-byte=500", {"--blocks", "1", "--no-verify-after-write"}, "Write Pass\n"},
        {"stuck-byte=2A7", {"--no-verify-after-write"}, "Write Fail\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {Sim(c.scenario), "write", imagePath};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto r = RunArgs(args);
        const std::string name = c.scenario + " " + ::testing::PrintToString(c.options);
        EXPECT_EQ(r.out, c.out) << name;
        EXPECT_EQ(r.code, c.out == "Write Pass\n" ? exitcode::Pass : exitcode::Fail) << name;
        const bool optedOut = std::find(c.options.begin(), c.options.end(),
                                        "--no-verify-after-write") != c.options.end();
        EXPECT_EQ(r.err.find("warning: --no-verify-after-write") != std::string::npos, optedOut)
            << name << r.err;
        const bool stuck = c.scenario.find("stuck-byte") != std::string::npos;
        if (!stuck) {
            EXPECT_EQ(ReadBytes(dumpPath), Bytes(image)) << name;
        }
    }
    // The automatic modes read back too.
    for (const std::string gang : {"", "--gang"}) {
        std::vector<std::string> args = {gang.empty()
                                             ? "--simulate=ic=1,mice=2,stuck-byte=300"
                                             : "--simulate=ic=1,slots=2,mice=2,stuck-byte=300",
                                         "run",
                                         imagePath,
                                         "--ic",
                                         "1",
                                         "--count",
                                         "2",
                                         "--interval-ms",
                                         "1"};
        if (!gang.empty()) args.push_back(gang);
        const auto run = RunArgs(args);
        EXPECT_EQ(run.code, exitcode::Fail) << gang << run.err;
        EXPECT_THAT(run.out, HasSubstr("total 2 passed 0 failed 2")) << gang;
    }
    // The station config opts out by its key, with the same warning.
    const std::string config = dir.file("line.conf");
    const std::string text = "image = " + imagePath + "\nic = 1\nno-verify-after-write = yes\n";
    WriteBytes(config, std::vector<std::uint8_t>(text.begin(), text.end()));
    const auto configured = RunArgs({"--simulate=ic=1,mice=1,stuck-byte=300", "run", "--config",
                                     config, "--count", "1", "--interval-ms", "1"});
    EXPECT_EQ(configured.code, exitcode::Pass) << configured.err;
    EXPECT_THAT(configured.err, HasSubstr("binwright run: warning: --no-verify-after-write"));
}

TEST_F(CliOperations, IgnoredOptionsAreNamedButDoNotStopTheCommand) {
    struct Case {
        std::string scenario;
        std::vector<std::string> args;  // the image follows the command name
        std::string warning;            // empty: none
    };
    const std::vector<Case> cases = {
        {"ic=1",
         {"write", "--ic", "1", "--write-id"},
         "--write-id is ignored: KVDE52xx has no factory record"},
        {"ic=1", {"write", "--ic", "1", "--total", "2"}, "--total is ignored"},
        {"ic=2", {"write", "--ic", "2", "--sleep", "5"}, "--sleep is ignored"},
        {"ic=1", {"write", "--ic", "1", "--blocks", "4"}, "--blocks is ignored"},
        {"", {"write", "--sn", "5"}, "--sn is ignored without --write-id"},
        {"", {"write", "--line", "B", "--station", "2"}, "--station is ignored without --write-id"},
        {"ic=1", {"write", "--ic", "1", "--sn", "5"}, "--sn is ignored for KVDE52xx"},
        {"", {"write", "--verify-after-write"}, ""},
        {"", {"write", "--write-id", "--sn", "5"}, ""},
        {"", {"write", "--blocks", "2", "--verify-after-write"}, ""},
        {"ic=1", {"write", "--ic", "1", "--format", "256", "--blocks", "4"}, ""},
        // In automatic mode --sleep is also the settle wait.
        {"ic=1,mice=1",
         {"run", "--ic", "1", "--sleep", "5", "--count", "1", "--interval-ms", "1"},
         ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {Sim(c.scenario), c.args[0], imagePath};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        const auto r = RunArgs(args);
        const std::string name = ::testing::PrintToString(c.args);
        EXPECT_EQ(r.code, exitcode::Pass) << name << r.err;
        if (c.warning.empty()) {
            EXPECT_THAT(r.err, Not(HasSubstr("warning:"))) << name;
        } else {
            EXPECT_THAT(r.err, HasSubstr("binwright " + c.args[0] + ": warning: " + c.warning))
                << name;
        }
    }
}

}  // namespace
}  // namespace bw::test
