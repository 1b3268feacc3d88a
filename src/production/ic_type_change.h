#pragma once
// What a change of the IC type list does to the shared state, and the identity
// the new row brings. The window clears the BIN path, shows pass count "0", hides
// the result labels, stops the poll timer and writes VID, then PID.

#include <optional>
#include <string_view>

#include "image/ic_types.h"
#include "production/station_state.h"

namespace bw {

struct IdentityDefaults {
    std::string_view vid;
    std::string_view pid;
};

// Default VID and PID texts of a row; none for an index outside 0..2, where the
// identity fields keep what they hold.
inline std::optional<IdentityDefaults> IdentityDefaultsFor(int icTypeIndex) {
    const IcType* row = IcTypeAt(icTypeIndex);
    if (row == nullptr) return std::nullopt;
    return IdentityDefaults{row->defaultVid, row->defaultPid};
}

// Forgets the loaded image and the pass count; leaves device handles, the factory
// record and the lock state alone. Returns the identity to write, if any.
inline std::optional<IdentityDefaults> OnIcTypeChange(StationState& station, MouseSession& state,
                                                      int icTypeIndex) {
    station.forgetImage(state);
    state.VerifyMismatch = false;
    station.PassCount = 0;
    return IdentityDefaultsFor(icTypeIndex);
}

}  // namespace bw
