#pragma once
// The window's command line: the Linux window's own options (frontend/window_options.h:
// --simulate[=SCENARIO], --trace FILE, --log FILE, --expect-sha256 HEX, --verify-after-write,
// --ledger URL, --station-name NAME, --version), --gang IMAGE (the gang station window; the
// station's own options are kept as given, for its setup), --help.

#include <optional>
#include <string>
#include <vector>

#include "frontend/window_options.h"

namespace bw::winapp {

struct GuiOptions {
    WindowOptions window;  // resolved: window.platform.simulate, window.approvedSha256
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
