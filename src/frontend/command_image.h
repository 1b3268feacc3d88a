#pragma once
// The BIN image a command or station writes or verifies: loaded, checked against the
// approved digest and named, alike for the device commands, `run` and the gang station.

#include <optional>
#include <ostream>
#include <string>

#include "frontend/device_options.h"
#include "image/reason.h"
#include "production/station_state.h"

namespace bw {

// Loads the BIN image of write, verify and run into the station, loaded for the IC type given and
// names its identity on err (unless quiet). Returns the exit code when the file cannot be used or
// is not the approved image (2; the path and the reason said on err, and put in refusal when
// given).
std::optional<int> LoadCommandImage(const std::string& file, const DeviceOptions& options,
                                    StationState& station, std::ostream& out, std::ostream& err,
                                    Reason* refusal = nullptr);

// The file name of an image path, as the JSON line and the ledger name it.
std::string ImageName(const std::string& file);

}  // namespace bw
