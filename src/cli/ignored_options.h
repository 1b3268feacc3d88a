#pragma once
// Options that the chosen command or IC type does nothing with. Each given one gets a
// one-line warning on stderr; the command still runs.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/device_options.h"

namespace bw {

// command: the parsed device command; automatic: it is `run`, where --sleep is also the
// settle wait of every IC type. One text per ignored option given, without a prefix.
std::vector<std::string> IgnoredOptions(const CLI::App& command, bool automatic,
                                        const DeviceOptions& options);

}  // namespace bw
