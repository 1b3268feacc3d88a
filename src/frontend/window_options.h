#pragma once
// The operator's window's own options, one copy for the Linux and the Windows window:
// --simulate[=SCENARIO], --trace FILE, --log FILE, --expect-sha256 HEX, --verify-after-write,
// --ledger URL, --station-name NAME, --version; and what the window starts on them: the log
// file checked, the ledger opened, the line built (the simulated one or the host's HID
// devices, traced where asked), and at the end the line finished and held ledger rows settled.

#include <CLI/CLI.hpp>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "frontend/command_ledger.h"
#include "frontend/platform_factory.h"
#include "image/image_identity.h"

namespace bw {

struct WindowOptions {
    PlatformOptions platform;
    std::string logFile;
    std::string expectSha256;
    // Every write reads back every byte it wrote; the option is still taken, the windows have
    // no way out of it.
    bool alwaysVerified = true;
    LedgerChoice ledger;

    // Set by ResolveWindowOptions.
    std::optional<Sha256> approvedSha256;
    CLI::Option* simulate = nullptr;
};

// Adds the options above to `app`, binding them to `options` (kept by reference).
void AddWindowOptions(CLI::App& app, WindowOptions& options);
// After the parse: whether --simulate was given, the approved image's SHA-256. False with
// the problem said on `err` (the window then ends with 2).
bool ResolveWindowOptions(WindowOptions& options, std::ostream& err);

// What the main window runs on.
struct WindowLine {
    std::unique_ptr<ledger::StationLedger> ledger;  // null without --ledger
    std::unique_ptr<PlatformStack> platform;
};
// Checks the log file, opens the ledger (a station that cannot record or number its mice does
// not start) and builds the line, before the window shows. Null with the problem said on
// `err` (the window then ends with 2).
std::optional<WindowLine> StartWindowLine(const WindowOptions& options, std::ostream& err);
// At the window's end: the simulated line writes its dump, results the ledger could not take
// are tried again and what is left is said with its number.
void FinishWindowLine(WindowLine& line, std::ostream& err);

}  // namespace bw
