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

    for (const std::string& path : {fifo, folder, std::string("/dev/zero"), sparse}) {
        for (const char* command : {"write", "verify"}) {
            const auto r = RunArgs({"--simulate", "--trace", trace, command, path});
            EXPECT_EQ(r.code, exitcode::Mismatch) << command << " " << path;
            EXPECT_EQ(r.out, "BIN file not match IC Type\n") << command << " " << path;
        }
    }
    const auto r = RunArgs({"--simulate", "--trace", trace, "write", dangling});
    EXPECT_EQ(r.code, exitcode::Usage);
    EXPECT_THAT(r.err, HasSubstr(dangling));
    EXPECT_TRUE(ReadBytes(trace).empty()) << "a rejected file reached the device";
}
#endif

}  // namespace
}  // namespace bw::test
