#pragma once
// `binwright run`: the automatic mode in a terminal. Polls as the window's timer does,
// writes every target mouse that arrives and prints one line per mouse, then the totals.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "cli/operation_json.h"
#include "device/operation_host.h"
#include "frontend/command_ledger.h"
#include "frontend/device_options.h"
#include "frontend/platform_factory.h"
#include "frontend/run_options.h"
#include "production/production_log.h"

namespace bw {

// With the ledger giving the numbers, each mouse's factory record is read first: one that
// holds a number written before is left alone ("Already written (SN 1A)", counted apart,
// exit code 7 when nothing failed) or, with run.ledger.rewrite, written again with it.
// Stops taking mice once host.stopRequest() asks for it (the mouse in progress is written
// as that request allows and logged), after --count mice, when a log line cannot be
// written, when the next product number does not fit the factory record, or when the ledger
// cannot take a mouse's row or give its number. Returns 0 when every mouse passed, 1
// otherwise, 2 for an image that cannot be used, a number that does not fit or cannot be
// had, or a ledger that went away (every row recorded in the end), 6 when a log line or a
// ledger row was lost; the caller turns a signal into 130/143. out takes the per-mouse lines
// and the totals, err each failed mouse's reason; totals, when given, receives the counts for
// the JSON totals line.
int RunAutomatic(const std::string& imageFile, const DeviceOptions& options, const RunOptions& run,
                 PlatformStack& platforms, OperationHost& host, std::ostream& out,
                 std::ostream& err, RunTotals* totals = nullptr);

// The end of a totals line: " already written N" when mice were left alone, else empty.
std::string AlreadyWrittenText(int leftAlone);

// "HH:MM:SS  SN <number as the field shows it>  <result>  <seconds, 1 decimal>s  passes <n>"
std::string FormatRunLine(std::chrono::system_clock::time_point when, std::int32_t productNumber,
                          const std::string& result, std::chrono::steady_clock::duration taken,
                          std::int32_t passes);

}  // namespace bw
