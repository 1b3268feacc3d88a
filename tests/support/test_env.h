#pragma once
// Environment variables in tests, the same calls on Linux and Windows, and the variable that
// places the station's data folder (and with it the default ledger and the spool).

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include "os/utf8_path.h"
#endif

namespace bw::test {

// Windows: through the wide environment, which the data folder is read from.
inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _wputenv_s(WideFromUtf8(name).c_str(), WideFromUtf8(value).c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
    _wputenv_s(WideFromUtf8(name).c_str(), L"");
#else
    ::unsetenv(name);
#endif
}

inline std::optional<std::string> GetEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// Variables set (a value) or unset (none) while it lives; each is put back as it was after.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

class ScopedEnv {
  public:
    explicit ScopedEnv(const EnvChanges& changes) {
        for (const auto& [name, value] : changes) {
            kept_.emplace_back(name, GetEnv(name.c_str()));
            Put(name, value);
        }
    }
    ~ScopedEnv() {
        for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) Put(it->first, it->second);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    static void Put(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            SetEnv(name.c_str(), *value);
        } else {
            UnsetEnv(name.c_str());
        }
    }
    EnvChanges kept_;
};

// The folder whose subfolder is the station's data folder: XDG_DATA_HOME on Linux,
// LOCALAPPDATA on Windows.
#ifdef _WIN32
inline constexpr const char* kDataHomeVariable = "LOCALAPPDATA";
inline constexpr const char* kDataFolderName = "Binwright";
#else
inline constexpr const char* kDataHomeVariable = "XDG_DATA_HOME";
inline constexpr const char* kDataFolderName = "binwright";
#endif

// The station's data folder lives in `home` from now on (STATE_DIRECTORY, which comes
// first on Linux, unset).
inline void SetDataHome(const std::string& home) {
    SetEnv(kDataHomeVariable, home);
    UnsetEnv("STATE_DIRECTORY");
}

// The station's data folder when the data home is `home`.
inline std::filesystem::path DataFolderIn(const std::filesystem::path& home) {
    return home / kDataFolderName;
}

}  // namespace bw::test
