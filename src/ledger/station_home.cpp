#include "ledger/station_home.h"

#include <cstdlib>
#include <string>

namespace bw::ledger {
namespace {

#ifndef _WIN32
// A set variable that names an absolute folder; systemd lists several StateDirectory
// entries separated by colons, the first is the station's.
std::optional<std::filesystem::path> AbsoluteFolder(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr) return std::nullopt;
    std::string text = value;
    if (const auto colon = text.find(':'); colon != std::string::npos) text.resize(colon);
    if (text.empty() || text.front() != '/') return std::nullopt;
    return std::filesystem::path(text);
}
#endif

}  // namespace

std::optional<std::filesystem::path> StationDataFolder() {
#ifdef _WIN32
    // The wide variable: the folder may hold characters outside the ANSI code page.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || *local == L'\0') return std::nullopt;
    return std::filesystem::path(local) / L"Binwright";
#else
    if (auto state = AbsoluteFolder("STATE_DIRECTORY")) return state;
    if (auto data = AbsoluteFolder("XDG_DATA_HOME")) return *data / "binwright";
    if (auto home = AbsoluteFolder("HOME")) return *home / ".local" / "share" / "binwright";
    return std::nullopt;
#endif
}

std::optional<std::filesystem::path> DefaultLedgerPath() {
    auto folder = StationDataFolder();
    if (!folder) return std::nullopt;
    return *folder / "ledger.db";
}

}  // namespace bw::ledger
