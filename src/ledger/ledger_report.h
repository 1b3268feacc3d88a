#pragma once
// `binwright ledger report --html`: one self-contained page for a supervisor. Inline CSS
// and SVG only: no script, no font or picture from elsewhere, so it opens anywhere offline.

#include <chrono>
#include <string>
#include <vector>

#include "ledger/ledger_records.h"

namespace bw::ledger {

struct ReportHeading {
    std::string ledger;  // where the rows came from
    std::string filter;  // "since ..., station ..." or empty
    std::chrono::system_clock::time_point generated;
};

std::string RenderHtmlReport(const std::vector<OperationRow>& rows, const ReportHeading& heading);

}  // namespace bw::ledger
