#pragma once
// Production log for traceability: one CSV line per operation, appended to a file
// that the operator names. Without a file nothing is written.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace bw {

struct LogEntry {
    std::chrono::system_clock::time_point when;
    std::string icType;  // row text, e.g. "KVDE31X"
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    std::string operation;                      // "write", "verify", "save", "read-factory"
    std::optional<std::int32_t> productNumber;  // the number written, when a record was written
    std::string result;                         // the result text as shown, e.g. "Write Pass"
    std::int64_t durationMs = 0;
    std::string imageSha256;  // of the BIN file a write or verify used; empty otherwise
    std::string reason;       // reason code of an end other than a pass ("mismatch"); empty
};

// Columns are only ever added at the end.
inline constexpr const char* kLogHeader =
    "time,ic_type,vid_pid,operation,product_number,result,duration_ms,image_sha256,reason";

// Broken-down local time of a time point (thread-safe on both platforms).
std::tm LocalTime(std::chrono::system_clock::time_point when);

// One CSV line (no newline). Fields that could hold a comma or quote are quoted.
// columns: only the first so many (for a file whose header has fewer); 0: all.
std::string FormatLogLine(const LogEntry& entry, std::size_t columns = 0);

class ProductionLog {
  public:
    ProductionLog() = default;  // disabled: append() does nothing
    explicit ProductionLog(std::string path) : path_(std::move(path)) {}

    bool enabled() const { return !path_.empty(); }
    // Appends one line, writing the header first when the file is new or empty, and after a
    // last line that was cut, on a line of its own. Returns false when the file cannot be
    // written (a full disk, a FIFO or folder in its place, a file that is no production
    // log), with the reason when one is asked for; the operation's result stays as it was.
    bool append(const LogEntry& entry, std::string* reason = nullptr) const;

    // Before the first operation: empty when the log can take a line now, else why not
    // ("is not a production log: ...", "cannot be written: No space left on device"). A new
    // or empty file gets its header; a last line that was cut is ended; then a row's worth
    // of bytes is appended, flushed and taken back, so a full disk is found before a mouse
    // is written rather than after.
    std::string prepare() const;

  private:
    std::string path_;
};

}  // namespace bw
