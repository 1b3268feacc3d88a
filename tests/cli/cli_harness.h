#pragma once
// Runs the command line in-process on a virtual clock, in a temporary folder.

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "image/image_buffers.h"
#include "support/recording_host.h"
#include "support/test_env.h"

namespace bw::test {

// The whole text matches the regular expression (ECMAScript). gmock's own regular expressions
// know no bracket expressions on Windows.
MATCHER_P(MatchesPattern, pattern, "matches /" + std::string(pattern) + "/") {
    return std::regex_match(std::string(arg), std::regex(pattern));
}

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

class TempFolder;

// The station's data folder while a command runs in-process: the data home (XDG_DATA_HOME;
// LOCALAPPDATA on Windows) points at `folder` (the default ledger lands there, never in the
// real home) and STATE_DIRECTORY is unset; both are put back afterwards.
class DataHome {
  public:
    explicit DataHome(const std::string& folder)
        : env_({{kDataHomeVariable, folder}, {"STATE_DIRECTORY", std::nullopt}}) {}

  private:
    ScopedEnv env_;
};

// dataHome: the data home of the call (a test that restarts a station passes the same
// folder twice); empty: a folder of its own, so every call starts with no default ledger.
// env: further variables set or unset for the call only (after the data home).
inline CliResult RunArgs(std::vector<std::string> args, OperationHost* host = nullptr,
                         const std::string& dataHome = {}, const EnvChanges& env = {});

class TempFolder {
  public:
    TempFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("binwright-cli-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline CliResult RunArgs(std::vector<std::string> args, OperationHost* host,
                         const std::string& dataHome, const EnvChanges& env) {
    std::optional<TempFolder> own;
    if (dataHome.empty()) own.emplace();
    const DataHome home(dataHome.empty() ? own->file("data") : dataHome);
    const ScopedEnv changes(env);
    args.insert(args.begin(), "binwright");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    std::ostringstream out;
    std::ostringstream err;
    RecordingHost clock;
    CliEnvironment environment;
    environment.host = host != nullptr ? host : &clock;
    CliResult r;
    r.code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, environment);
    r.out = out.str();
    r.err = err.str();
    return r;
}

inline Image PatternImage(unsigned seed) {
    Image image{};
    std::mt19937 gen(seed);
    for (auto& b : image) b = static_cast<std::uint8_t>(gen());
    return image;
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline void WriteImageFile(const std::string& path, const Image& image) {
    WriteBytes(path, std::vector<std::uint8_t>(image.begin(), image.end()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const std::string& path) {
    const auto bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

inline std::vector<std::uint8_t> Bytes(const Image& image) {
    return {image.begin(), image.end()};
}

}  // namespace bw::test
