// BIN files the loader must turn away quickly and with a reason, whatever they are.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "image/bin_file.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace bw {
namespace {

namespace fs = std::filesystem;

class BadBinInput : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("bw_badbin_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        sentinel_.fill(0xA5);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    Image sentinel_{};
};

TEST_F(BadBinInput, EverySizeUpTo4097ButTheOneRightSizeIsRejected) {
    const fs::path path = dir_ / "grow.bin";
    { std::ofstream create(path, std::ios::binary); }
    for (std::uintmax_t size = 0; size <= 4097; ++size) {
        fs::resize_file(path, size);
        Image image = sentinel_;
        const BinLoadResult r = LoadBinFile(path.string(), image);
        if (size == kImageSize) {
            EXPECT_EQ(r.error, BinLoadError::None);
            continue;
        }
        ASSERT_EQ(r.error, BinLoadError::WrongSize) << size << " bytes";
        ASSERT_EQ(image, sentinel_) << size << " bytes";
    }
}

#ifdef __linux__
// Bytes this process has read through read() and the like, from /proc/self/io.
std::uintmax_t BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uintmax_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return 0;
}

TEST_F(BadBinInput, HugeSparseFileIsRejectedWithoutReadingIt) {
    const fs::path path = dir_ / "huge.bin";
    { std::ofstream create(path, std::ios::binary); }
    std::error_code ec;
    fs::resize_file(path, (std::uintmax_t{1} << 32) + kImageSize, ec);
    if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();

    const std::uintmax_t before = BytesReadSoFar();
    Image image = sentinel_;
    EXPECT_EQ(LoadBinFile(path.string(), image).error, BinLoadError::WrongSize);
    const std::uintmax_t read = BytesReadSoFar() - before;
    EXPECT_LT(read, 4096u) << "the loader read the file's content";
    EXPECT_EQ(image, sentinel_);
}
#endif

#ifndef _WIN32
// A FIFO nobody writes to would block a plain open for ever; a dangling link has no
// size at all. Each comes back at once, and a file that cannot be opened names itself.
TEST_F(BadBinInput, SpecialFilesComeBackAtOnceWithAReason) {
    const fs::path fifo = dir_ / "pipe.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path link = dir_ / "dangling.bin";
    fs::create_symlink(dir_ / "nowhere.bin", link);
    const fs::path folder = dir_ / "folder.bin";
    fs::create_directory(folder);

    for (const fs::path& p : {fifo, folder, fs::path("/dev/zero"), fs::path("/dev/null")}) {
        Image image = sentinel_;
        EXPECT_EQ(LoadBinFile(p.string(), image).error, BinLoadError::WrongSize) << p;
        EXPECT_EQ(image, sentinel_) << p;
    }

    Image image = sentinel_;
    const BinLoadResult r = LoadBinFile(link.string(), image);
    EXPECT_EQ(r.error, BinLoadError::CannotOpen);
    EXPECT_NE(r.message.find(link.string()), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("No such file"), std::string::npos) << r.message;
    EXPECT_EQ(image, sentinel_);
}
#endif

}  // namespace
}  // namespace bw
