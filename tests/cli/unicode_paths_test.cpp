// File names outside ASCII in every file the command line opens, creates or renames: the
// image, the save target, the log and its folder, the trace, the config and the ledger. On
// Windows they go through UTF-16; the cross-built tests run them on a Chinese system.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/cli_harness.h"
#include "os/utf8_path.h"

namespace bw::test {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream out(PathFromUtf8(name), std::ios::binary | std::ios::trunc);
    out << text;
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(PathFromUtf8(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(UnicodePaths, EveryFileOfACommandTakesChineseAccentedAndSpacedNames) {
    for (const std::string name : {"镜像", "Größe é", "two words", "工厂 日志"}) {
        SCOPED_TRACE(name);
        TempFolder dir;
        const std::string base = dir.file(name);
        fs::create_directories(PathFromUtf8(base));
        const Image image = PatternImage(7);
        const std::string img = base + "/" + name + ".bin";
        WriteFile(img, std::string(image.begin(), image.end()));
        const std::string log = base + "/" + name + ".csv";
        const std::string trace = base + "/" + name + ".trace";
        const std::string dump = base + "/" + name + " dump.bin";

        auto r = RunArgs({"--simulate=dump=" + dump, "--trace", trace, "write", img, "--log", log,
                          "--ledger", base + "/" + name + ".db", "--json"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(ReadFile(dump), std::string(image.begin(), image.end()));
        // The image is named in UTF-8 as it was given, not in the system's code page.
        EXPECT_THAT(r.out, ::testing::HasSubstr("\"" + name + ".bin\""));
        EXPECT_THAT(ReadFile(log), ::testing::HasSubstr("Write Pass"));
        EXPECT_FALSE(ReadFile(trace).empty());
        r = RunArgs({"ledger", "check", "--ledger", base + "/" + name + ".db"});
        EXPECT_EQ(r.code, 0) << r.err;

        // save: the file under its name (.bin added), nothing left beside it.
        r = RunArgs({"--simulate=memory=" + img, "save", base + "/保存 " + name});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(ReadFile(base + "/保存 " + name + ".bin"),
                  std::string(image.begin(), image.end()));
        for (const auto& entry : fs::directory_iterator(PathFromUtf8(base)))
            EXPECT_NE(entry.path().extension(), ".tmp");

        // A config names its files in UTF-8.
        const std::string config = base + "/配置 " + name + ".conf";
        WriteFile(config, "image = " + img + "\nlog = " + log + "\ncount = 1\n");
        r = RunArgs({"--simulate=mice=1", "run", "--config", config, "--interval-ms", "1"});
        EXPECT_EQ(r.code, 0) << r.err;

        // A name that is not there is named as it was given.
        r = RunArgs({"--simulate", "verify", base + "/缺少.bin"});
        EXPECT_EQ(r.code, 2);
        EXPECT_THAT(r.err, ::testing::HasSubstr("缺少.bin"));
    }
}

}  // namespace
}  // namespace bw::test
