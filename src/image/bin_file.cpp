#include "image/bin_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "image/regular_file.h"
#include "os/utf8_path.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace bw {

namespace fs = std::filesystem;

namespace {

std::string Reason(const std::error_code& ec) {
    return ec.message();
}

std::string ErrnoReason() {
    const int err = errno;
    return err != 0 ? std::generic_category().message(err) : std::string("unknown error");
}

std::string CannotOpenMessage(const std::string& path, const std::string& reason) {
    return "Cannot open file \"" + path + "\". " + reason;
}

std::string CannotCreateMessage(const std::string& path, const std::string& reason) {
    return "Cannot create file \"" + path + "\". " + reason;
}

std::string SizeReason(std::uintmax_t size) {
    return std::to_string(size) + " bytes, an image has " + std::to_string(kImageSize);
}

// The file's bytes on the disk before it takes the final name.
bool SyncFile(std::FILE* file) {
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return ::fsync(::fileno(file)) == 0;
#endif
}

// The rename itself on the disk. Windows has no way to flush a folder; NTFS logs renames.
void SyncFolderOf(const fs::path& target) {
#ifndef _WIN32
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
#else
    (void)target;
#endif
}

// A name beside the target that no other save is likely to pick at the same time.
fs::path TemporaryBeside(const fs::path& target) {
    std::random_device rd;
    std::mt19937_64 gen((static_cast<std::uint64_t>(rd()) << 32) ^ rd());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix = ".";
    for (int i = 0; i < 12; ++i) suffix += kDigits[gen() % 16];
    fs::path name = target.filename();
    name += suffix + ".tmp";
    return target.parent_path() / name;
}

}  // namespace

BinLoadResult LoadBinFile(const std::string& path, Image& image) {
    const fs::path file = PathFromUtf8(path);
    std::error_code ec;

    // Look before opening: opening a FIFO or a device node could block or never end.
    const fs::file_status st = fs::status(file, ec);
    if (ec || !fs::exists(st)) {
        const std::error_code reason =
            ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory);
        return {BinLoadError::CannotOpen, CannotOpenMessage(path, Reason(reason)), Reason(reason)};
    }
    if (!fs::is_regular_file(st)) {
        return {BinLoadError::WrongSize, {}, RegularFileProblem(path, false)};
    }

    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) return {BinLoadError::CannotOpen, CannotOpenMessage(path, Reason(ec)), Reason(ec)};
    if (size != static_cast<std::uintmax_t>(kImageSize)) {
        return {BinLoadError::WrongSize, {}, SizeReason(size)};
    }

    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        const std::string reason = ErrnoReason();
        return {BinLoadError::CannotOpen, CannotOpenMessage(path, reason), reason};
    }

    // Read into a scratch copy so that a short file leaves the image as it was.
    Image scratch{};
    in.read(reinterpret_cast<char*>(scratch.data()), static_cast<std::streamsize>(scratch.size()));
    if (in.gcount() != static_cast<std::streamsize>(scratch.size())) {
        return {BinLoadError::ShortRead,
                {},
                "only " + std::to_string(in.gcount()) + " bytes could be read, an image has " +
                    std::to_string(kImageSize)};
    }
    image = scratch;
    return {};
}

std::string SaveTargetProblem(const std::string& path) {
    const fs::path target = PathFromUtf8(path);
    if (path.empty() || !target.has_filename() || target.filename() == ".bin") {
        return "save: \"" + path + "\" has no file name";
    }
    if (const std::string problem = RegularFileProblem(path, true); !problem.empty()) {
        return "save: \"" + path + "\" " + problem;
    }
    // Try what the save will do: create a file beside the target, then take it away again.
    const fs::path probe = TemporaryBeside(target);
    errno = 0;
    std::FILE* file = OpenFile(probe, "wb");
    if (file == nullptr) {
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        return "save: folder \"" + Utf8FromPath(folder) +
               "\" cannot take a new file: " + ErrnoReason();
    }
    std::fclose(file);
    std::error_code ignored;
    fs::remove(probe, ignored);
    return {};
}

bool SaveBinFile(const std::string& path, const Image& image, std::string* message) {
    const fs::path target = PathFromUtf8(path);
    const fs::path temp = TemporaryBeside(target);
    auto fail = [&](const std::string& reason) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        if (message) *message = CannotCreateMessage(path, reason);
        return false;
    };

    errno = 0;
    std::FILE* out = OpenFile(temp, "wb");
    if (out == nullptr) return fail(ErrnoReason());
    const bool written = std::fwrite(image.data(), 1, image.size(), out) == image.size() &&
                         std::fflush(out) == 0 && SyncFile(out);
    const std::string writeReason = written ? std::string() : ErrnoReason();
    const bool closed = std::fclose(out) == 0;
    if (!written) return fail(writeReason);
    if (!closed) return fail(ErrnoReason());

    // The rename replaces an existing file in one step: it is either the old or the new one.
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) return fail(Reason(ec));
    SyncFolderOf(target);
    return true;
}

std::string SaveTargetName(const std::string& chosen) {
    static constexpr std::string_view kExt = ".bin";
    if (chosen.size() >= kExt.size()) {
        const std::string_view tail = std::string_view(chosen).substr(chosen.size() - kExt.size());
        const bool same = std::equal(tail.begin(), tail.end(), kExt.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
        if (same) return chosen;
    }
    return chosen + std::string(kExt);
}

}  // namespace bw
