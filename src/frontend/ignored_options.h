#pragma once
// Options that the chosen command or IC type does nothing with, and the opt-out of the
// read-back after a write. Each gets a one-line warning on stderr; the command still runs.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "frontend/device_options.h"

namespace bw {

// command: the parsed device command; automatic: it is `run`, where --sleep is also the
// settle wait of every IC type. One text per ignored option given (and one for
// --no-verify-after-write, from the command line or a station config), without a prefix.
std::vector<std::string> IgnoredOptions(const CLI::App& command, bool automatic,
                                        const DeviceOptions& options);

}  // namespace bw
