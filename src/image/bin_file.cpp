#include "image/bin_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

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
    const fs::path file(path);
    std::error_code ec;

    // Look before opening: opening a FIFO or a device node could block or never end.
    const fs::file_status st = fs::status(file, ec);
    if (ec || !fs::exists(st)) {
        const std::error_code reason =
            ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory);
        return {BinLoadError::CannotOpen, CannotOpenMessage(path, Reason(reason))};
    }
    if (!fs::is_regular_file(st)) return {BinLoadError::WrongSize, {}};

    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) return {BinLoadError::CannotOpen, CannotOpenMessage(path, Reason(ec))};
    if (size != static_cast<std::uintmax_t>(kImageSize)) return {BinLoadError::WrongSize, {}};

    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) return {BinLoadError::CannotOpen, CannotOpenMessage(path, ErrnoReason())};

    // Read into a scratch copy so that a short file leaves the image as it was.
    Image scratch{};
    in.read(reinterpret_cast<char*>(scratch.data()), static_cast<std::streamsize>(scratch.size()));
    if (in.gcount() != static_cast<std::streamsize>(scratch.size())) {
        return {BinLoadError::ShortRead, {}};
    }
    image = scratch;
    return {};
}

bool SaveBinFile(const std::string& path, const Image& image, std::string* message) {
    const fs::path target(path);
    const fs::path temp = TemporaryBeside(target);
    auto fail = [&](const std::string& reason) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        if (message) *message = CannotCreateMessage(path, reason);
        return false;
    };

    {
        errno = 0;
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return fail(ErrnoReason());
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        out.flush();
        if (!out) return fail(ErrnoReason());
        out.close();
        if (out.fail()) return fail(ErrnoReason());
    }

    // The rename replaces an existing file in one step: it is either the old or the new one.
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) return fail(Reason(ec));
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
