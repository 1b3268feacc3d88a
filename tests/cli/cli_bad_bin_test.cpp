// Bad BIN files given to the command line: a clear message and no device traffic.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_harness.h"
#include "production/result_text.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace bw::test {
namespace {

using ::testing::HasSubstr;

#ifndef _WIN32
TEST(CliBadBin, EachBadFileIsTurnedAwayBeforeTheDevice) {
    TempFolder dir;
    const std::string fifo = dir.file("pipe.bin");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.file("folder.bin");
    std::filesystem::create_directory(folder);
    const std::string sparse = dir.file("huge.bin");
    WriteBytes(sparse, {});
    std::error_code ec;
    std::filesystem::resize_file(sparse, (std::uintmax_t{1} << 32) + 2048, ec);
    const std::string dangling = dir.file("dangling.bin");
    std::filesystem::create_symlink(dir.file("nowhere.bin"), dangling);
    const std::string trace = dir.file("t.jsonl");

    const std::vector<std::pair<std::string, std::string>> bad = {
        {fifo, "is a FIFO, not a regular file"},
        {folder, "is a folder"},
        {"/dev/zero", "is a device, not a regular file"},
        {sparse, std::to_string(std::filesystem::file_size(sparse)) + " bytes, an image has 2048"},
    };
    for (const auto& [path, reason] : bad) {
        for (const char* command : {"write", "verify", "run"}) {
            const auto r = RunArgs({"--simulate", "--trace", trace, command, path});
            // A station error (2), never the mouse reject code (4).
            EXPECT_EQ(r.code, exitcode::Usage) << command << " " << path;
            EXPECT_EQ(r.err, path + ": " + reason + "\n") << command;
            EXPECT_EQ(r.out, "") << command << " " << path;
        }
    }
    const auto r = RunArgs({"--simulate", "--trace", trace, "write", dangling});
    EXPECT_EQ(r.code, exitcode::Usage);
    EXPECT_THAT(r.err, HasSubstr(dangling));
    EXPECT_TRUE(ReadBytes(trace).empty()) << "a rejected file reached the device";
}

// The files the commands write or read besides the image: a FIFO there would block for
// ever, a device or folder take the bytes nowhere. Each is refused before the mouse is
// touched, as is a save target without a name or in a folder that takes no file.
TEST(CliBadBin, EachBadPathIsTurnedAwayBeforeTheDevice) {
    TempFolder dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string image = dir.file("image.bin");
    WriteImageFile(image, PatternImage(3));
    const std::string trace = dir.file("t.jsonl");
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"--simulate", "write", image, "--log", fifo}, "is a FIFO, not a regular file"},
        {{"--simulate", "run", image, "--log", "/dev/null"}, "is a device, not a regular file"},
        {{"--simulate", "write", image, "--log", dir.file("")}, "is a folder"},
        {{"--simulate", "--trace", fifo, "write", image}, "is a FIFO, not a regular file"},
        {{"--simulate=memory=" + fifo, "verify", image}, "is a FIFO, not a regular file"},
        {{"--simulate", "save", ""}, "has no file name"},
        {{"--simulate", "save", dir.file("") + "/"}, "has no file name"},
        {{"--simulate", "save", dir.file("missing/x")}, "does not exist"},
        {{"--simulate", "save", "/proc/x"}, "folder \"/proc\" cannot take a new file"},
    };
    for (const auto& [args, reason] : rows) {
        std::vector<std::string> traced = args;
        if (traced[1] != "--trace") traced.insert(traced.begin() + 1, {"--trace", trace});
        const auto r = RunArgs(traced);
        EXPECT_EQ(r.code, exitcode::Usage) << args[1] << " " << args.back();
        EXPECT_THAT(r.err, HasSubstr(reason)) << args[1] << " " << args.back();
        EXPECT_TRUE(ReadBytes(trace).empty()) << args.back() << ": the mouse was touched";
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file(".bin")));
}
#endif

}  // namespace
}  // namespace bw::test
