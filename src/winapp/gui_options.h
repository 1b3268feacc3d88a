#pragma once
// The window's command line, as the Linux window reads it: --simulate[=SCENARIO],
// --trace FILE, --log FILE, --expect-sha256 HEX, --verify-after-write, --ledger URL,
// --station-name NAME, --gang IMAGE (the gang station window; the station's own options
// are kept as given, for its setup), --help, --version.

#include <optional>
#include <string>
#include <vector>

namespace bw::winapp {

struct GuiOptions {
    bool simulate = false;
    std::string scenario;  // --simulate=SCENARIO
    std::string traceFile;
    std::string logFile;
    std::string expectSha256;
    bool verifyAfterWrite = false;
    std::string ledgerUrl;
    std::string stationName;
    bool gang = false;
    std::string gangImage;
    // What follows --gang IMAGE for the station (--count, --slots, --vid, ...), unread.
    std::vector<std::string> gangOptions;
};

struct ParsedGuiOptions {
    GuiOptions options;
    // Set when the program ends here: 0 after --help or --version, 2 for options that
    // cannot be used; `said` is what to tell (help, version, or the error).
    std::optional<int> exitCode;
    std::string said;
};

// `args` without the program's name, as UTF-8.
ParsedGuiOptions ParseGuiOptions(const std::vector<std::string>& args);

}  // namespace bw::winapp
