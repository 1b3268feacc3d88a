#pragma once
// `binwright run --gang`: the gang station in a terminal. Every target mouse plugged into
// a port is written at once by its own worker (station/gang_runner.h); one line per
// finished mouse, then the totals of each slot and of the run.

#include <optional>
#include <ostream>
#include <string>

#include "cli/run_command.h"
#include "device/operation_host.h"
#include "frontend/device_options.h"
#include "frontend/platform_factory.h"
#include "station/gang_runner.h"

namespace bw {

// The same exit codes and stop rules as RunAutomatic, per mouse in progress. waits: null,
// the workers wait on the real clock; else every worker's waits go to it, one at a time
// (a test's virtual clock). run.json, when set, takes a JSON line per finished mouse (with
// its slot and port); totals, when given, receives the counts and each slot's for the
// totals line.
int RunGang(const std::string& imageFile, const DeviceOptions& options, const RunOptions& run,
            PlatformStack& platforms, OperationHost& host, std::ostream& out, std::ostream& err,
            OperationHost* waits = nullptr, RunTotals* totals = nullptr);

// "slot <n>  SN <number written, or ->  <result>  <seconds since the plug, 1 decimal>s"
std::string FormatGangLine(const station::GangResult& result);

}  // namespace bw
