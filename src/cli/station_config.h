#pragma once
// A station's options from a file of `key = value` lines (`binwright run --config FILE`).
// A key is the name of one of the command's options without its dashes (`count`, `ic`,
// `write-id`, `log`, ...) or of its positional argument in lower case (`image`), so every
// option the command gains is a key at once. Options given on the command line win.

#include <stdexcept>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace bw {

// The message names the file, and the line when there is one: "FILE:LINE: ...".
class StationConfigError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct StationConfigEntry {
    std::string key;
    std::string value;
    int line = 0;
};

class StationConfig {
  public:
    // Reads the lines: blank lines and `#` comments are skipped, a value may be quoted
    // ("...") and may be followed by a `#` comment; UTF-8, a byte-order mark allowed.
    // Throws StationConfigError (also for a path that is no regular file, and UTF-16).
    static StationConfig Read(const std::string& path);

    // Gives every entry to the option of `command`, or of a command it falls through to,
    // unless the command line gave that option already. `self` (the option naming this
    // file) is not a key. A relative path (image, a FILE option, a SQLite ledger) is taken
    // from the file's folder. Throws StationConfigError for an unknown key, a key given
    // twice, a value the option refuses, or an option without the one it needs or with one
    // it excludes (as on the command line).
    void apply(CLI::App& command, const CLI::Option* self);

    // "FILE:LINE: " when this file set `key`, else empty.
    std::string where(const std::string& key) const;
    // The message with where() of the option it starts with ("--key: ..."), if this file set it.
    std::string locate(const std::string& message) const;

    const std::string& path() const { return path_; }

  private:
    std::string resolvePath(const std::string& key, const CLI::Option& option,
                            const std::string& value) const;

    std::string path_;
    std::vector<StationConfigEntry> entries_;
    std::vector<std::size_t> applied_;  // indices into entries_
};

}  // namespace bw
