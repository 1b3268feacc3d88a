#include "frontend/window_options.h"

#include <exception>
#include <ostream>

#include "binwright_version.h"
#include "device/operation_host.h"
#include "frontend/command_log.h"

namespace bw {

namespace {
constexpr char kWho[] = "binwright-gui";
}

void AddWindowOptions(CLI::App& app, WindowOptions& o) {
    o.simulate = app.add_option("--simulate", o.platform.scenario,
                                "Run on the simulated production line, optionally with SCENARIO")
                     ->expected(0, 1);
    app.add_option("--trace", o.platform.traceFile, "Write every feature transfer to FILE");
    app.add_option("--log", o.logFile, "Append one CSV line per operation to FILE");
    app.add_option("--expect-sha256", o.expectSha256,
                   "Load only the BIN file with this SHA-256 (64 hex digits)")
        ->type_name("HEX");
    app.add_flag("--verify-after-write", o.alwaysVerified,
                 "Every write reads back and compares every byte written (always on)");
    app.add_option("--ledger", o.ledger.url,
                   "Record every operation in the production ledger (a SQLite FILE or a "
                   "PostgreSQL connection string); with Write Product ID it gives the numbers")
        ->type_name("URL");
    app.add_option("--station-name", o.ledger.stationName,
                   "This station's name in the ledger (default: the host name)")
        ->type_name("NAME");
    app.set_version_flag("--version", std::string(kWho) + " " + BINWRIGHT_VERSION);
}

bool ResolveWindowOptions(WindowOptions& o, std::ostream& err) {
    o.platform.simulate = o.simulate != nullptr && o.simulate->count() > 0;
    o.approvedSha256.reset();
    if (o.expectSha256.empty()) return true;
    o.approvedSha256 = ParseSha256(o.expectSha256);
    if (o.approvedSha256) return true;
    err << kWho << ": --expect-sha256: '" << o.expectSha256
        << "' is not a SHA-256 (64 hexadecimal digits)\n";
    return false;
}

std::optional<WindowLine> StartWindowLine(const WindowOptions& o, std::ostream& err) {
    std::string logProblem;
    if (!o.logFile.empty() && !LogFileUsable(o.logFile, &logProblem)) {
        err << kWho << ": " << logProblem << "\n";
        return std::nullopt;
    }
    WindowLine line;
    if (!o.ledger.url.empty()) {
        try {
            line.ledger = OpenStationLedger(o.ledger);
        } catch (const ledger::LedgerError& error) {
            err << kWho << ": " << error.what() << "\n";
            return std::nullopt;
        }
    }
    try {
        line.platform = std::make_unique<PlatformStack>(o.platform);
    } catch (const std::exception& error) {
        err << kWho << ": " << error.what() << "\n";
        return std::nullopt;
    }
    return line;
}

void FinishWindowLine(WindowLine& line, std::ostream& err) {
    std::string message;
    if (line.platform && !line.platform->finish(&message)) err << kWho << ": " << message << "\n";
    if (line.ledger && line.ledger->holding()) {
        NullHost waits;
        SettleHeldRows(*line.ledger, waits, err, kWho);
    }
}

}  // namespace bw
