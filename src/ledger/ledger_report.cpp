#include "ledger/ledger_report.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "ledger/ledger_summary.h"
#include "production/production_log.h"

namespace bw::ledger {
namespace {

constexpr const char* kPassColour = "#2e9d48";
constexpr const char* kFailColour = "#d8432f";
constexpr const char* kYieldColour = "#2563c9";

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string HourLabel(std::chrono::system_clock::time_point hour) {
    const std::tm local = LocalTime(hour);
    char text[16];
    std::strftime(text, sizeof text, "%H:00", &local);
    return text;
}

// A round step for an axis that reaches at least `top`.
int AxisStep(int top) {
    for (int step : {1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000, 2000, 5000}) {
        if (top / step <= 5) return step;
    }
    return 10000;
}

// Bars of mice written and failed per hour, stacked; a line of the hour's yield.
std::string HourChart(const std::vector<HourTotals>& hours) {
    if (hours.empty()) return "<p class=\"empty\">No writes in this period.</p>\n";
    const double w = 920, h = 320, left = 48, right = 52, top = 20, bottom = 44;
    const double plotW = w - left - right, plotH = h - top - bottom;
    int most = 1;
    for (const auto& x : hours) most = std::max(most, x.written + x.failed);
    const int step = AxisStep(most);
    const int axisTop = (most + step - 1) / step * step;
    const double slot = plotW / static_cast<double>(hours.size());
    const double bar = std::max(2.0, slot * 0.7);
    auto y = [&](double count) { return top + plotH - plotH * count / axisTop; };
    auto yYield = [&](double share) { return top + plotH - plotH * share; };

    std::string svg = "<svg class=\"chart\" viewBox=\"0 0 " + Num(w) + " " + Num(h) +
                      "\" role=\"img\" aria-label=\"Mice per hour and yield\">\n";
    for (int v = 0; v <= axisTop; v += step) {
        svg += "<line x1=\"" + Num(left) + "\" x2=\"" + Num(w - right) + "\" y1=\"" + Num(y(v)) +
               "\" y2=\"" + Num(y(v)) + "\" class=\"grid\"/>";
        svg += "<text x=\"" + Num(left - 6) + "\" y=\"" + Num(y(v) + 4) +
               "\" class=\"axis\" text-anchor=\"end\">" + std::to_string(v) + "</text>\n";
    }
    for (int p = 0; p <= 100; p += 25) {
        svg += "<text x=\"" + Num(w - right + 6) + "\" y=\"" + Num(yYield(p / 100.0) + 4) +
               "\" class=\"axis yield\">" + std::to_string(p) + "%</text>\n";
    }
    std::string line;
    const std::size_t labelEvery = std::max<std::size_t>(1, hours.size() / 12);
    for (std::size_t i = 0; i < hours.size(); ++i) {
        const HourTotals& x = hours[i];
        const double cx = left + slot * (static_cast<double>(i) + 0.5);
        const double x0 = cx - bar / 2;
        const std::string tip = HourLabel(x.hour) + ": " + std::to_string(x.written) +
                                " written, " + std::to_string(x.failed) + " failed";
        svg += "<g><title>" + Escape(tip) + "</title>";
        svg += "<rect x=\"" + Num(x0) + "\" y=\"" + Num(y(x.written)) + "\" width=\"" + Num(bar) +
               "\" height=\"" + Num(y(0) - y(x.written)) + "\" fill=\"" + kPassColour + "\"/>";
        svg += "<rect x=\"" + Num(x0) + "\" y=\"" + Num(y(x.written + x.failed)) + "\" width=\"" +
               Num(bar) + "\" height=\"" + Num(y(x.written) - y(x.written + x.failed)) +
               "\" fill=\"" + kFailColour + "\"/></g>\n";
        if (i % labelEvery == 0) {
            svg += "<text x=\"" + Num(cx) + "\" y=\"" + Num(h - bottom + 18) +
                   "\" class=\"axis\" text-anchor=\"middle\">" + HourLabel(x.hour) + "</text>\n";
        }
        const int tried = x.written + x.failed;
        if (tried > 0) {
            const double share = static_cast<double>(x.written) / tried;
            line += (line.empty() ? "" : " ") + Num(cx) + "," + Num(yYield(share));
            svg += "<circle cx=\"" + Num(cx) + "\" cy=\"" + Num(yYield(share)) +
                   "\" r=\"3\" fill=\"" + kYieldColour + "\"><title>" +
                   Escape(HourLabel(x.hour) + ": yield " + Percent(share)) + "</title></circle>\n";
        }
    }
    svg += "<polyline points=\"" + line + "\" fill=\"none\" stroke=\"" + kYieldColour +
           "\" stroke-width=\"2\"/>\n";
    svg += "<text x=\"" + Num(left) + "\" y=\"" + Num(h - 6) +
           "\" class=\"axis\">mice per hour (local time)</text>";
    svg += "<text x=\"" + Num(w - right) + "\" y=\"" + Num(h - 6) +
           "\" class=\"axis yield\" text-anchor=\"end\">yield</text>\n</svg>\n";
    return svg;
}

std::string ReasonChart(const std::vector<std::pair<std::string, int>>& reasons) {
    if (reasons.empty()) return "<p class=\"empty\">No failed write in this period.</p>\n";
    const double w = 920, row = 30, left = 200, right = 60;
    const double h = row * static_cast<double>(reasons.size()) + 10;
    const int most = reasons.front().second;
    std::string svg = "<svg class=\"chart\" viewBox=\"0 0 " + Num(w) + " " + Num(h) +
                      "\" role=\"img\" aria-label=\"Failures by reason\">\n";
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        const auto& [reason, count] = reasons[i];
        const double y0 = 5 + row * static_cast<double>(i);
        const double len = (w - left - right) * count / most;
        svg += "<text x=\"" + Num(left - 10) + "\" y=\"" + Num(y0 + 19) +
               "\" text-anchor=\"end\" class=\"label\">" + Escape(reason) + "</text>";
        svg += "<rect x=\"" + Num(left) + "\" y=\"" + Num(y0 + 4) + "\" width=\"" +
               Num(std::max(len, 2.0)) + "\" height=\"" + Num(row - 10) + "\" fill=\"" +
               kFailColour + "\"/>";
        svg += "<text x=\"" + Num(left + len + 8) + "\" y=\"" + Num(y0 + 19) +
               "\" class=\"label\">" + std::to_string(count) + "</text>\n";
    }
    return svg + "</svg>\n";
}

std::string Tile(const std::string& value, const std::string& label) {
    return "<div class=\"tile\"><div class=\"value\">" + Escape(value) +
           "</div><div class=\"name\">" + Escape(label) + "</div></div>\n";
}

std::string SummaryTable(const std::vector<StationSummary>& summaries) {
    std::string t =
        "<table><thead><tr><th>Station</th><th>Type</th><th>Mice written</th><th>First-pass "
        "yield</th><th>Mice per hour</th><th>Last number</th><th>Failures</th></tr></thead>"
        "<tbody>\n";
    for (const StationSummary& s : summaries) {
        std::string failures;
        for (const auto& [reason, count] : s.failures) {
            failures += (failures.empty() ? "" : ", ") + reason + " " + std::to_string(count);
        }
        const auto rate = s.micePerHour();
        t += "<tr><td>" + Escape(s.station) + "</td><td>" +
             (s.productType ? TypeText(*s.productType) : "-") + "</td><td class=\"n\">" +
             std::to_string(s.written) + "</td><td class=\"n\">" + Percent(s.firstPassYield()) +
             "</td><td class=\"n\">" + (rate ? Num(*rate) : "-") + "</td><td class=\"n\">" +
             (s.lastNumber ? NumberText(*s.lastNumber) : "-") + "</td><td>" +
             Escape(failures.empty() ? "none" : failures) + "</td></tr>\n";
    }
    return t + "</tbody></table>\n";
}

constexpr const char* kStyle = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; margin: 24px 32px; color: #1d2430; background: #fff; }
h1 { font-size: 24px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 28px 0 8px; }
.meta { color: #5b6472; font-size: 13px; }
.tiles { display: flex; gap: 14px; margin-top: 18px; }
.tile { border: 1px solid #d5dae1; border-radius: 6px; padding: 10px 18px; min-width: 150px; }
.tile .value { font-size: 28px; font-weight: bold; }
.tile .name { color: #5b6472; font-size: 13px; }
.chart { width: 100%; max-width: 920px; height: auto; display: block; }
.grid { stroke: #e3e7ec; stroke-width: 1; }
.axis { font-size: 12px; fill: #5b6472; }
.axis.yield { fill: #2563c9; }
.label { font-size: 13px; fill: #1d2430; }
.legend span { display: inline-block; width: 12px; height: 12px; margin: 0 4px 0 14px; vertical-align: -1px; }
table { border-collapse: collapse; font-size: 13px; margin-top: 6px; }
th, td { border-bottom: 1px solid #e3e7ec; padding: 5px 12px; text-align: left; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
.empty { color: #5b6472; }
)";

}  // namespace

std::string RenderHtmlReport(const std::vector<OperationRow>& rows, const ReportHeading& heading) {
    const auto summaries = Summarize(rows);
    int written = 0, attempts = 0;
    std::optional<std::chrono::system_clock::time_point> first, last;
    for (const auto& s : summaries) {
        written += s.written;
        attempts += s.attempts;
        first = first ? std::min(*first, s.first) : s.first;
        last = last ? std::max(*last, s.last) : s.last;
    }
    const double hours =
        first ? std::chrono::duration<double, std::ratio<3600>>(*last - *first).count() : 0;

    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Production report</title>\n<style>" +
        std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Production report</h1>\n";
    html += "<div class=\"meta\">Ledger " + Escape(heading.ledger) +
            (heading.filter.empty() ? "" : " &middot; " + Escape(heading.filter)) + " &middot; " +
            (first ? "from " + LocalTimeText(*first) + " to " + LocalTimeText(*last)
                   : std::string("no writes")) +
            " &middot; made " + LocalTimeText(heading.generated) + "</div>\n";
    html += "<div class=\"tiles\">\n" + Tile(std::to_string(written), "mice written") +
            Tile(attempts ? Percent(static_cast<double>(written) / attempts) : "-",
                 "first-pass yield") +
            Tile(written > 1 && hours > 0 ? Num(written / hours) : "-", "mice per hour") +
            Tile(std::to_string(attempts - written), "failed cycles") + "</div>\n";
    html +=
        "<h2>Mice per hour and yield</h2>\n<div class=\"legend meta\"><span style=\"background:" +
        std::string(kPassColour) + "\"></span>written<span style=\"background:" + kFailColour +
        "\"></span>failed<span style=\"background:" + kYieldColour +
        "\"></span>yield of the hour</div>\n";
    html += HourChart(TotalsByHour(rows));
    html += "<h2>Failures by reason</h2>\n" + ReasonChart(FailureReasons(rows));
    html += "<h2>Stations</h2>\n" + SummaryTable(summaries);
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace bw::ledger
