#include "image/regular_file.h"

#include <filesystem>
#include <system_error>

#include "os/utf8_path.h"

namespace bw {

namespace fs = std::filesystem;

std::string RegularFileProblem(const std::string& path, bool mayCreate) {
    if (path.empty()) return "no file name";
    std::error_code ec;
    const fs::path file = PathFromUtf8(path);
    const fs::file_status st = fs::status(file, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) return ec.message();
    switch (st.type()) {
        case fs::file_type::regular:
            return {};
        case fs::file_type::directory:
            return "is a folder";
        case fs::file_type::fifo:
            return "is a FIFO, not a regular file";
        case fs::file_type::character:
        case fs::file_type::block:
            return "is a device, not a regular file";
        case fs::file_type::not_found:
            break;
        default:
            return "is not a regular file";
    }
    if (!mayCreate) return "does not exist";
    const fs::path parent = file.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec)) {
        return "folder \"" + Utf8FromPath(parent) + "\" does not exist";
    }
    return {};
}

}  // namespace bw
