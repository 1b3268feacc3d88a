#include "winapp/gui_options.h"

#include <CLI/CLI.hpp>
#include <sstream>

namespace bw::winapp {

ParsedGuiOptions ParseGuiOptions(const std::vector<std::string>& args) {
    ParsedGuiOptions parsed;
    GuiOptions& o = parsed.options;
    CLI::App app{"The operator's window of Binwright.", "binwright-gui"};
    // The gang station's own options are passed on to its setup as they are.
    app.allow_extras();
    AddWindowOptions(app, o.window);
    CLI::Option* gang = app.add_option("--gang", o.gangImage,
                                       "Open the gang station window: every mouse plugged in "
                                       "is written with IMAGE at once, each on its own USB "
                                       "port (a slot)")
                            ->type_name("IMAGE");

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
    const bool resolved = ResolveWindowOptions(o.window, err);
    o.window.simulate = nullptr;  // the parser goes with this function
    if (!resolved) {
        parsed.exitCode = 2;
        parsed.said = err.str();
        return parsed;
    }
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
    return parsed;
}

}  // namespace bw::winapp
