#include "ledger/ledger_time.h"

#include <cstdio>
#include <ctime>
#include <regex>

namespace bw::ledger {

using namespace std::chrono;

std::string UtcTimestamp(system_clock::time_point when) {
    const auto ms = floor<milliseconds>(when);
    const auto day = floor<days>(ms);
    const year_month_day ymd{day};
    const hh_mm_ss<milliseconds> t{ms - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d+00:00",
                  static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<int>(t.hours().count()),
                  static_cast<int>(t.minutes().count()), static_cast<int>(t.seconds().count()),
                  static_cast<int>(t.subseconds().count()));
    return text;
}

namespace {

// The clock's range in milliseconds; a time outside it would wrap round.
bool Fits(sys_time<milliseconds> when) {
    return when >= time_point_cast<milliseconds>(system_clock::time_point::min()) &&
           when <= time_point_cast<milliseconds>(system_clock::time_point::max());
}

}  // namespace

std::string ClockYears() {
    const year_month_day first{floor<days>(system_clock::time_point::min())};
    const year_month_day last{floor<days>(system_clock::time_point::max())};
    return std::to_string(static_cast<int>(first.year()) + 1) + " to " +
           std::to_string(static_cast<int>(last.year()) - 1);
}

std::optional<system_clock::time_point> ParseTimestamp(const std::string& text, bool* outOfRange) {
    if (outOfRange != nullptr) *outOfRange = false;
    const auto beyond = [&]() -> std::optional<system_clock::time_point> {
        if (outOfRange != nullptr) *outOfRange = true;
        return std::nullopt;
    };
    static const std::regex form(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?)?)"
        R"((Z|[+-]\d{2}:?\d{2})?$)");
    std::smatch m;
    if (!std::regex_match(text, m, form)) return std::nullopt;
    auto number = [&](int i) { return m[i].matched ? std::stoi(m[i].str()) : 0; };
    const year_month_day ymd{year{number(1)}, month{static_cast<unsigned>(number(2))},
                             day{static_cast<unsigned>(number(3))}};
    const int hour = number(4), minute = number(5), second = number(6);
    if (!ymd.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    std::string fraction = m[7].str();
    fraction.resize(3, '0');
    const milliseconds ms{m[7].matched ? std::stoi(fraction) : 0};

    if (!m[8].matched) {
        // Local wall time: the C library knows the zone and its daylight saving rules.
        std::tm local{};
        local.tm_year = number(1) - 1900;
        local.tm_mon = number(2) - 1;
        local.tm_mday = number(3);
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = -1;
        // Far years are refused before the C library, whose time_t may not hold them.
        const sys_time<milliseconds> rough = sys_days{ymd} + hours{hour} + minutes{minute} + ms;
        if (!Fits(rough - days{2}) || !Fits(rough + days{2})) return beyond();
        const std::time_t t = std::mktime(&local);
        if (t == static_cast<std::time_t>(-1)) return std::nullopt;
        return system_clock::from_time_t(t) + ms;
    }
    auto when = sys_days{ymd} + hours{hour} + minutes{minute} + seconds{second} + ms;
    const std::string zone = m[8].str();
    if (zone != "Z") {
        const int sign = zone[0] == '-' ? -1 : 1;
        const std::string digits = zone.substr(1);
        const int oh = std::stoi(digits.substr(0, 2));
        const int om = std::stoi(digits.substr(digits.size() - 2));
        if (oh > 23 || om > 59) return std::nullopt;
        when -= sign * (hours{oh} + minutes{om});
    }
    if (!Fits(when)) return beyond();
    return time_point_cast<system_clock::duration>(when);
}

}  // namespace bw::ledger
