#pragma once
// Rows a station's ledger could not take, kept on the station's own disk until it can: a
// mouse that passed while the ledger was away keeps its passing row across a crash, a
// restart or a reboot, and the next start hands it to the ledger before its recovery looks
// at the reservations. One folder per ledger and station name in the station's data folder
// (station_home.h), one file per row, each written whole and synced before the result is
// shown (a temporary file renamed), removed once the ledger took the row.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ledger/ledger_records.h"

namespace bw::ledger {

// How the row ends its number's reservation in the ledger.
enum class RowEnd { Record, Written, Released, Void };

struct HeldRow {
    RowEnd end = RowEnd::Record;
    std::optional<Reservation> reservation;
    OperationRecord row;
    std::string note;  // a void number's note
};

class RowSpool {
  public:
    // folder: this ledger's and station's (FolderFor); made when the first row is kept.
    explicit RowSpool(std::filesystem::path folder);

    // <dataFolder>/spool/<station, as a file name>-<16 hex digits of the ledger and station>
    static std::filesystem::path FolderFor(const std::filesystem::path& dataFolder,
                                           const std::string& ledgerIdentity,
                                           const std::string& station);

    const std::filesystem::path& folder() const { return folder_; }

    // Keeps the row on disk before it returns; the name to remove it by. Throws
    // std::runtime_error, saying why, when it cannot be written (a full disk).
    std::string keep(const HeldRow& row);
    void remove(const std::string& name) noexcept;
    // The rows kept, oldest first; a file that cannot be read is named in *unreadable.
    std::vector<std::pair<std::string, HeldRow>> rows(std::vector<std::string>* unreadable) const;

  private:
    std::filesystem::path folder_;
    std::mutex lock_;  // the slots of a gang station keep rows at once
    std::uint64_t sequence_ = 0;
};

}  // namespace bw::ledger
