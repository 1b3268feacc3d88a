#pragma once
// The read side's figures, from operation rows: per station and product type the mice
// written, first-pass yield, failures by reason, mice per hour and the last number; per
// hour the mice written and failed, for the report's chart.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ledger/ledger_records.h"

namespace bw::ledger {

struct StationSummary {
    std::string station;
    std::optional<std::int32_t> productType;      // none: writes without the factory record
    int attempts = 0;                             // write cycles, one per mouse tried
    int written = 0;                              // of them passed
    std::map<std::string, int> failures;          // by reason code, else by result text
    std::chrono::system_clock::time_point first;  // first start
    std::chrono::system_clock::time_point last;   // last end
    std::optional<std::int32_t> lastNumber;       // of the latest passing write

    // Passed on the first try, as a share of the cycles (each cycle is one try of a mouse).
    double firstPassYield() const;
    // Mice written per hour from the first start to the last end; none below two mice.
    std::optional<double> micePerHour() const;
};

struct HourTotals {
    std::chrono::system_clock::time_point hour;  // start of the local hour
    int written = 0;
    int failed = 0;
};

// Write rows only; the others are not mice written.
std::vector<StationSummary> Summarize(const std::vector<OperationRow>& rows);
// Every hour from the first write to the last, hours without writes included.
std::vector<HourTotals> TotalsByHour(const std::vector<OperationRow>& rows);
// All failed writes by reason, most frequent first.
std::vector<std::pair<std::string, int>> FailureReasons(const std::vector<OperationRow>& rows);

// The table `binwright ledger summary` prints.
std::string FormatSummary(const std::vector<StationSummary>& summaries);

// "98.4%", "120.5" etc. as the summary and the report show them.
std::string Percent(double share);
std::string LocalTimeText(std::chrono::system_clock::time_point when);  // "2025-03-04 06:06"

}  // namespace bw::ledger
