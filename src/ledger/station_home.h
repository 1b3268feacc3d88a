#pragma once
// Where a station keeps what must outlive it when no ledger is named: the default SQLite
// ledger and the rows held while a ledger is away.
//   Linux:   $STATE_DIRECTORY (the service's StateDirectory), else $XDG_DATA_HOME/binwright,
//            else $HOME/.local/share/binwright
//   Windows: %LOCALAPPDATA%\Binwright

#include <filesystem>
#include <optional>

namespace bw::ledger {

// Nullopt when the environment names no such folder (no HOME, no LOCALAPPDATA). The folder
// is not created here.
std::optional<std::filesystem::path> StationDataFolder();

// The default ledger: ledger.db in StationDataFolder().
std::optional<std::filesystem::path> DefaultLedgerPath();

}  // namespace bw::ledger
