#pragma once
// Times as the ledger stores them: ISO 8601 in UTC with its offset, milliseconds,
// "2025-03-04T05:06:07.089+00:00". The fixed form sorts as text in both databases.

#include <chrono>
#include <optional>
#include <string>

namespace bw::ledger {

std::string UtcTimestamp(std::chrono::system_clock::time_point when);

// Reads a stored time or one typed for --since: "YYYY-MM-DD", "YYYY-MM-DD HH:MM",
// "YYYY-MM-DDTHH:MM:SS[.mmm]", each optionally followed by "Z" or "+HH:MM"/"-HH:MM".
// Without an offset the time is local. nullopt when it is none of these, or when the clock
// cannot hold it (*outOfRange set then, when given).
std::optional<std::chrono::system_clock::time_point> ParseTimestamp(const std::string& text,
                                                                    bool* outOfRange = nullptr);

// The years the clock holds whole, "1678 to 2261".
std::string ClockYears();

}  // namespace bw::ledger
