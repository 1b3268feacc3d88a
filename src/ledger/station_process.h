#pragma once
// This process as a station's lease names it (host and process id), and whether a process
// of this host still runs: a lease whose holder on this very host has ended can be taken at
// once instead of after it expires (a station restarted after a crash).

#include <cstdint>
#include <string>

namespace bw::ledger {

std::string ThisHost();
std::int64_t ThisProcessId();
// False only when the process certainly does not run (a process of another user runs).
bool ProcessRuns(std::int64_t processId);

}  // namespace bw::ledger
