#include "production/production_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "device/hex_text.h"
#include "image/regular_file.h"
#include "os/utf8_path.h"

namespace bw {

std::tm LocalTime(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

namespace {

std::string IsoTime(std::chrono::system_clock::time_point when) {
    const std::tm local = LocalTime(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
    char withMs[40];
    std::snprintf(withMs, sizeof withMs, "%s.%03d", text, static_cast<int>(ms.count()));
    return withMs;
}

std::string Quoted(const std::string& field) {
    if (field.find_first_of(",\"\n\r") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string ErrnoText() {
    const int error = errno;
    return error != 0 ? std::generic_category().message(error) : std::string("unknown error");
}

// The column count of a header this program wrote before columns were added; 0 for a
// header it does not know (that file gets whole lines).
std::size_t OlderHeaderColumns(const std::string& header) {
    const std::string current = kLogHeader;
    if (header.empty() || header.size() >= current.size()) return 0;
    if (current.compare(0, header.size(), header) != 0 || current[header.size()] != ',') return 0;
    return static_cast<std::size_t>(std::count(header.begin(), header.end(), ',')) + 1;
}

}  // namespace

std::string FormatLogLine(const LogEntry& e, std::size_t columns) {
    const std::vector<std::string> fields = {
        IsoTime(e.when),
        Quoted(e.icType),
        HexText(static_cast<std::uint32_t>(e.vid) & 0xFFFFu, 4) + ':' +
            HexText(static_cast<std::uint32_t>(e.pid) & 0xFFFFu, 4),
        Quoted(e.operation),
        e.productNumber ? HexText(static_cast<std::uint32_t>(*e.productNumber) & 0xFFFFFFu, 6)
                        : std::string(),
        Quoted(e.result),
        std::to_string(e.durationMs),
        e.imageSha256,
        Quoted(e.reason),
    };
    const std::size_t count = columns == 0 ? fields.size() : std::min(columns, fields.size());
    std::string line;
    for (std::size_t i = 0; i < count; ++i) line += (i == 0 ? "" : ",") + fields[i];
    return line;
}

bool ProductionLog::append(const LogEntry& entry, std::string* reason) const {
    if (!enabled()) return true;
    const auto fail = [&](const std::string& why) {
        if (reason != nullptr) *reason = "\"" + path_ + "\" " + why;
        return false;
    };
    // Looked at before every line: a FIFO put in its place would block the run for ever.
    if (const std::string problem = RegularFileProblem(path_, true); !problem.empty()) {
        return fail(problem);
    }
    std::error_code ec;
    const std::filesystem::path file = PathFromUtf8(path_);
    const bool fresh =
        !std::filesystem::exists(file, ec) || std::filesystem::file_size(file, ec) == 0 || ec;
    // A log begun by an older version keeps its columns, so every line fits its header.
    std::size_t columns = 0;
    if (!fresh) {
        std::ifstream in(file, std::ios::binary);
        std::string header;
        std::getline(in, header);
        if (!header.empty() && header.back() == '\r') header.pop_back();
        columns = OlderHeaderColumns(header);
    }

    std::string text = fresh ? std::string(kLogHeader) + '\n' : std::string();
    text += FormatLogLine(entry, columns) + '\n';
    errno = 0;
    std::FILE* out = OpenFile(file, "ab");
    if (out == nullptr) return fail("cannot be opened: " + ErrnoText());
    const bool written =
        std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
    const std::string writeError = written ? std::string() : ErrnoText();
    const bool closed = std::fclose(out) == 0;
    if (!written) return fail("cannot be written: " + writeError);
    if (!closed) return fail("cannot be written: " + ErrnoText());
    return true;
}

}  // namespace bw
