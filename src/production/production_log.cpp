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

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

// What the file holds before a line is added.
struct LogShape {
    bool fresh = true;        // new or empty: the header goes first
    std::size_t columns = 0;  // of an older header; 0: all
    bool cut = false;         // the last line has no end
    std::string foreign;      // the first line, when it is not a production log's header
    std::uintmax_t size = 0;
};

LogShape ShapeOf(const std::string& name) {
    LogShape shape;
    std::error_code ec;
    const std::filesystem::path path = PathFromUtf8(name);
    shape.size = std::filesystem::exists(path, ec) ? std::filesystem::file_size(path, ec) : 0;
    if (ec || shape.size == 0) {
        shape.size = 0;
        return shape;
    }
    shape.fresh = false;
    std::ifstream in(path, std::ios::binary);
    std::string header;
    std::getline(in, header);
    if (header.rfind(kUtf8Bom, 0) == 0) header.erase(0, 3);  // saved by a spreadsheet
    if (!header.empty() && header.back() == '\r') header.pop_back();
    // A log begun by an older version keeps its columns, so every line fits its header.
    shape.columns = OlderHeaderColumns(header);
    if (header != kLogHeader && shape.columns == 0) shape.foreign = header.substr(0, 60);
    in.clear();
    in.seekg(-1, std::ios::end);
    char last = '\n';
    if (in.get(last)) shape.cut = last != '\n';
    return shape;
}

std::string NotALog(const LogShape& shape) {
    return "is not a production log: its first line is \"" + shape.foreign +
           "\", not the header \"" + kLogHeader + "\"";
}

// Appends text and flushes it; empty, or why it could not be written.
std::string AppendText(const std::string& path, const std::string& text) {
    errno = 0;
    std::FILE* out = OpenFile(PathFromUtf8(path), "ab");
    if (out == nullptr) return "cannot be opened: " + ErrnoText();
    const bool written =
        std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
    const std::string writeError = written ? std::string() : ErrnoText();
    const bool closed = std::fclose(out) == 0;
    if (!written) return "cannot be written: " + writeError;
    if (!closed) return "cannot be written: " + ErrnoText();
    return {};
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
    const LogShape shape = ShapeOf(path_);
    if (!shape.foreign.empty()) return fail(NotALog(shape));
    std::string text = shape.fresh ? std::string(kLogHeader) + '\n' : std::string();
    if (shape.cut) text += '\n';  // the line cut off ends here, this one stands alone
    text += FormatLogLine(entry, shape.columns) + '\n';
    if (const std::string problem = AppendText(path_, text); !problem.empty()) {
        return fail(problem);
    }
    return true;
}

std::string ProductionLog::prepare() const {
    if (!enabled()) return {};
    if (const std::string problem = RegularFileProblem(path_, true); !problem.empty()) {
        return problem;
    }
    const LogShape shape = ShapeOf(path_);
    if (!shape.foreign.empty()) return NotALog(shape);
    std::string kept = shape.fresh ? std::string(kLogHeader) + '\n' : std::string();
    if (shape.cut) kept += '\n';
    if (!kept.empty()) {
        if (const std::string problem = AppendText(path_, kept); !problem.empty()) return problem;
    }
    // A row as long as any: the space the first mouse's line needs. Blank lines, so that
    // the probe, should it outlive a crash, adds no record.
    LogEntry longest;
    longest.icType = "KVDE52xx";
    longest.operation = "read-factory";
    longest.productNumber = 0xFFFFFF;
    longest.result = "BIN file not match Mouse";
    longest.durationMs = 9999999999;
    longest.imageSha256 = std::string(64, '0');
    longest.reason = "status-bit2-clear";
    const std::string probe(FormatLogLine(longest).size() + 1, '\n');
    const std::uintmax_t before = shape.size + kept.size();
    if (const std::string problem = AppendText(path_, probe); !problem.empty()) {
        // A part of it may have gone in.
        std::error_code ignored;
        if (std::filesystem::file_size(PathFromUtf8(path_), ignored) > before)
            std::filesystem::resize_file(PathFromUtf8(path_), before, ignored);
        return problem;
    }
    // Taken back unless another station added a line meanwhile (then they stay blank).
    std::error_code ec;
    if (std::filesystem::file_size(PathFromUtf8(path_), ec) == before + probe.size() && !ec)
        std::filesystem::resize_file(PathFromUtf8(path_), before, ec);
    return {};
}

}  // namespace bw
