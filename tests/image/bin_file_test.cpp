#include "image/bin_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace bw {
namespace {

namespace fs = std::filesystem;

class BinFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("bw_bin_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        sentinel_.fill(0x5C);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string File(const std::string& name, std::size_t size, std::uint8_t fill = 0x00) {
        const fs::path p = dir_ / name;
        std::ofstream out(p, std::ios::binary);
        const std::vector<char> bytes(size, static_cast<char>(fill));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    std::vector<fs::path> Entries() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename());
        return out;
    }
    // Loads and checks that a rejected file left the image as it was.
    BinLoadError Rejected(const std::string& path) {
        Image image = sentinel_;
        const BinLoadResult r = LoadBinFile(path, image);
        EXPECT_EQ(image, sentinel_) << path;
        return r.error;
    }

    fs::path dir_;
    Image sentinel_{};
};

TEST_F(BinFileTest, AnyContentOfExactly2048BytesLoads) {
    for (std::uint8_t fill : {0x00, 0xFF, 0x41}) {
        Image image = sentinel_;
        EXPECT_EQ(LoadBinFile(File("ok.bin", 2048, fill), image).error, BinLoadError::None);
        Image expected;
        expected.fill(fill);
        EXPECT_EQ(image, expected);
    }
}

TEST_F(BinFileTest, WrongSizesAndNonRegularFilesAreRejected) {
    EXPECT_EQ(Rejected(File("short.bin", 2047)), BinLoadError::WrongSize);
    EXPECT_EQ(Rejected(File("long.bin", 2049)), BinLoadError::WrongSize);
    EXPECT_EQ(Rejected(File("empty.bin", 0)), BinLoadError::WrongSize);
    fs::create_directory(dir_ / "folder.bin");
    EXPECT_EQ(Rejected((dir_ / "folder.bin").string()), BinLoadError::WrongSize);
}

TEST_F(BinFileTest, SparseFileOf4GiBPlus2048IsRejectedWithoutReading) {
    const std::string path = File("huge.bin", 0);
    std::error_code ec;
    fs::resize_file(path, (std::uintmax_t{1} << 32) + 2048, ec);
    if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
    EXPECT_EQ(Rejected(path), BinLoadError::WrongSize);
}

TEST_F(BinFileTest, MissingFileAndDanglingLinkCannotBeOpened) {
    const std::string missing = (dir_ / "missing.bin").string();
    Image image = sentinel_;
    const BinLoadResult r = LoadBinFile(missing, image);
    EXPECT_EQ(r.error, BinLoadError::CannotOpen);
    EXPECT_NE(r.message.find(missing), std::string::npos);
    EXPECT_GT(r.message.size(), missing.size() + 4) << "the reason follows the path";
    EXPECT_EQ(image, sentinel_);

#ifndef _WIN32
    fs::create_symlink(dir_ / "gone.bin", dir_ / "link.bin");
    EXPECT_EQ(Rejected((dir_ / "link.bin").string()), BinLoadError::CannotOpen);
#endif
}

#ifndef _WIN32
TEST_F(BinFileTest, FifoAndDeviceNodeAreRejectedWithoutBlocking) {
    const fs::path fifo = dir_ / "pipe.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Rejected(fifo.string()), BinLoadError::WrongSize);
    EXPECT_EQ(Rejected("/dev/zero"), BinLoadError::WrongSize);
}
#endif

TEST_F(BinFileTest, SaveReplacesAnExistingFileAndLeavesNoTemporary) {
    const std::string target = File("old.bin", 100, 0x11);
    Image image;
    image.fill(0x77);
    std::string message;
    ASSERT_TRUE(SaveBinFile(target, image, &message)) << message;

    Image back{};
    EXPECT_EQ(LoadBinFile(target, back).error, BinLoadError::None);
    EXPECT_EQ(back, image);
    EXPECT_EQ(Entries(), std::vector<fs::path>{"old.bin"});
}

TEST_F(BinFileTest, FailedSaveNamesThePathAndLeavesTheFolderAsItWas) {
    const std::string existing = File("keep.bin", 2048, 0x22);
    Image image{};
    std::string message;
    const std::string intoMissing = (dir_ / "no" / "such" / "x.bin").string();
    EXPECT_FALSE(SaveBinFile(intoMissing, image, &message));
    EXPECT_NE(message.find(intoMissing), std::string::npos);

    // A folder in the way of the rename: the temporary is removed again.
    fs::create_directory(dir_ / "taken.bin");
    fs::create_directory(dir_ / "taken.bin" / "inside");
    EXPECT_FALSE(SaveBinFile((dir_ / "taken.bin").string(), image, &message));
    auto entries = Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<fs::path>{"keep.bin", "taken.bin"}));

    Image kept{};
    EXPECT_EQ(LoadBinFile(existing, kept).error, BinLoadError::None);
    EXPECT_EQ(kept[0], 0x22);
}

TEST(SaveTargetName, AppendsBinOnlyWhenMissing) {
    EXPECT_EQ(SaveTargetName("dump"), "dump.bin");
    EXPECT_EQ(SaveTargetName("dump.bin"), "dump.bin");
    EXPECT_EQ(SaveTargetName("DUMP.BIN"), "DUMP.BIN");
    EXPECT_EQ(SaveTargetName("dump.Bin"), "dump.Bin");
    EXPECT_EQ(SaveTargetName("dump.bi"), "dump.bi.bin");
    EXPECT_EQ(SaveTargetName("dir.bin/dump"), "dir.bin/dump.bin");
    EXPECT_EQ(SaveTargetName("bin"), "bin.bin");
}

}  // namespace
}  // namespace bw
