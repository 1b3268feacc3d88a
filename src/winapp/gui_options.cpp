#include "winapp/gui_options.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "binwright_version.h"
#include "image/image_identity.h"

namespace bw::winapp {

ParsedGuiOptions ParseGuiOptions(const std::vector<std::string>& args) {
    ParsedGuiOptions parsed;
    GuiOptions& o = parsed.options;
    CLI::App app{"The operator's window of Binwright.", "binwright-gui"};
    // The gang station's own options are passed on to its setup as they are.
    app.allow_extras();
    CLI::Option* simulate =
        app.add_option("--simulate", o.scenario,
                       "Run on the simulated production line, optionally with SCENARIO")
            ->expected(0, 1);
    app.add_option("--trace", o.traceFile, "Write every feature transfer to FILE");
    app.add_option("--log", o.logFile, "Append one CSV line per operation to FILE");
    app.add_option("--expect-sha256", o.expectSha256,
                   "Load only the BIN file with this SHA-256 (64 hex digits)")
        ->type_name("HEX");
    app.add_flag("--verify-after-write", o.verifyAfterWrite,
                 "After a passing write, read back and compare every byte written");
    app.add_option("--ledger", o.ledgerUrl,
                   "Record every operation in the production ledger (a SQLite FILE or a "
                   "PostgreSQL connection string); with Write Product ID it gives the numbers")
        ->type_name("URL");
    app.add_option("--station-name", o.stationName,
                   "This station's name in the ledger (default: the host name)")
        ->type_name("NAME");
    CLI::Option* gang = app.add_option("--gang", o.gangImage,
                                       "Open the gang station window: every mouse plugged in "
                                       "is written with IMAGE at once, each on its own USB "
                                       "port (a slot)")
                            ->type_name("IMAGE");
    app.set_version_flag("--version", std::string("binwright-gui ") + BINWRIGHT_VERSION);

    // CLI11 takes the arguments last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    std::ostringstream out;
    std::ostringstream err;
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        // --help and --version end with 0; an option that cannot be used with 2.
        const int code = app.exit(error, out, err);
        parsed.exitCode = code == 0 ? 0 : 2;
        parsed.said = code == 0 ? out.str() : err.str();
        return parsed;
    }
    o.simulate = simulate->count() > 0;
    o.gang = gang->count() > 0;
    const std::vector<std::string> extras = app.remaining();
    if (!extras.empty() && !o.gang) {
        std::string list;
        for (const std::string& extra : extras) list += (list.empty() ? "" : " ") + extra;
        parsed.exitCode = 2;
        parsed.said = "binwright-gui: not an option of the window: " + list + "\n";
        return parsed;
    }
    o.gangOptions = extras;
    if (!o.expectSha256.empty() && !ParseSha256(o.expectSha256)) {
        parsed.exitCode = 2;
        parsed.said = "binwright-gui: --expect-sha256: '" + o.expectSha256 +
                      "' is not a SHA-256 (64 hexadecimal digits)\n";
    }
    return parsed;
}

}  // namespace bw::winapp
