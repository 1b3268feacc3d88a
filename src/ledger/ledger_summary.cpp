#include "ledger/ledger_summary.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <tuple>

#include "production/production_log.h"

namespace bw::ledger {
namespace {

using Clock = std::chrono::system_clock;

bool IsWrite(const OperationRow& row) {
    return row.record.operation == "write";
}

std::string FailureKey(const OperationRecord& r) {
    return r.reason && !r.reason->empty() ? *r.reason : r.result;
}

Clock::time_point End(const OperationRecord& r) {
    return r.started + std::chrono::milliseconds{r.durationMs};
}

Clock::time_point LocalHourStart(Clock::time_point when) {
    std::tm local = LocalTime(when);
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return Clock::from_time_t(std::mktime(&local));
}

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

double StationSummary::firstPassYield() const {
    return attempts == 0 ? 0.0 : static_cast<double>(written) / attempts;
}

std::optional<double> StationSummary::micePerHour() const {
    const double hours = std::chrono::duration<double, std::ratio<3600>>(last - first).count();
    if (written < 2 || hours <= 0) return std::nullopt;
    return written / hours;
}

std::vector<StationSummary> Summarize(const std::vector<OperationRow>& rows) {
    std::map<std::pair<std::string, std::optional<std::int32_t>>, StationSummary> by;
    std::map<std::pair<std::string, std::optional<std::int32_t>>, Clock::time_point> lastPass;
    for (const OperationRow& row : rows) {
        if (!IsWrite(row)) continue;
        const OperationRecord& r = row.record;
        std::optional<std::int32_t> type;
        if (r.factory && r.productNumber) type = r.factory->type;
        const auto key = std::make_pair(r.station, type);
        auto [it, fresh] = by.try_emplace(key);
        StationSummary& s = it->second;
        if (fresh) {
            s.station = r.station;
            s.productType = type;
            s.first = r.started;
            s.last = End(r);
        }
        s.first = std::min(s.first, r.started);
        s.last = std::max(s.last, End(r));
        ++s.attempts;
        if (r.passed) {
            ++s.written;
            auto& latest = lastPass[key];
            if (r.productNumber && (!s.lastNumber || r.started >= latest)) {
                s.lastNumber = r.productNumber;
                latest = r.started;
            }
        } else {
            ++s.failures[FailureKey(r)];
        }
    }
    std::vector<StationSummary> out;
    for (auto& [key, s] : by) out.push_back(std::move(s));
    return out;
}

std::vector<HourTotals> TotalsByHour(const std::vector<OperationRow>& rows) {
    std::map<Clock::time_point, HourTotals> hours;
    for (const OperationRow& row : rows) {
        if (!IsWrite(row)) continue;
        const auto hour = LocalHourStart(row.record.started);
        HourTotals& h = hours[hour];
        h.hour = hour;
        ++(row.record.passed ? h.written : h.failed);
    }
    std::vector<HourTotals> out;
    if (hours.empty()) return out;
    const auto lastHour = hours.rbegin()->first;
    // Hours without a write stay visible as gaps (across a daylight saving change the
    // next local hour is found by stepping 90 minutes and flooring again).
    for (auto h = hours.begin()->first; h <= lastHour && out.size() < 24 * 31;
         h = LocalHourStart(h + std::chrono::minutes{90})) {
        const auto found = hours.find(h);
        out.push_back(found != hours.end() ? found->second : HourTotals{h, 0, 0});
    }
    return out;
}

std::vector<std::pair<std::string, int>> FailureReasons(const std::vector<OperationRow>& rows) {
    std::map<std::string, int> counts;
    for (const OperationRow& row : rows) {
        if (IsWrite(row) && !row.record.passed) ++counts[FailureKey(row.record)];
    }
    std::vector<std::pair<std::string, int>> out(counts.begin(), counts.end());
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return out;
}

std::string Percent(double share) {
    return Fixed(share * 100.0, 1) + "%";
}

std::string LocalTimeText(Clock::time_point when) {
    const std::tm local = LocalTime(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string FormatSummary(const std::vector<StationSummary>& summaries) {
    if (summaries.empty()) return "no writes recorded\n";
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%-16s %-4s %6s %8s %9s %11s  %s\n", "station", "type", "mice",
                  "yield", "mice/hour", "last number", "failures");
    out += line;
    for (const StationSummary& s : summaries) {
        std::string failures;
        for (const auto& [reason, count] : s.failures) {
            failures += (failures.empty() ? "" : ", ") + reason + " " + std::to_string(count);
        }
        const auto rate = s.micePerHour();
        std::snprintf(line, sizeof line, "%-16s %-4s %6d %8s %9s %11s  %s\n", s.station.c_str(),
                      s.productType ? TypeText(*s.productType).c_str() : "-", s.written,
                      Percent(s.firstPassYield()).c_str(), rate ? Fixed(*rate, 1).c_str() : "-",
                      s.lastNumber ? NumberText(*s.lastNumber).c_str() : "-",
                      failures.empty() ? "none" : failures.c_str());
        out += line;
        out += "  " + std::to_string(s.attempts) + " cycles from " + LocalTimeText(s.first) +
               " to " + LocalTimeText(s.last) + "\n";
    }
    return out;
}

}  // namespace bw::ledger
