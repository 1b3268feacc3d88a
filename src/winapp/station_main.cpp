#include "winapp/station_main.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <sstream>
#include <vector>

#include "frontend/gang_station.h"
#include "frontend/gang_window_options.h"
#include "frontend/interrupt_flag.h"
#include "frontend/window_options.h"
#include "ledger/station_ledger.h"
#include "winapp/station_window.h"
#include "window/station_window_model.h"

namespace bw::winapp {
namespace {

const std::string kWho = "binwright-gui: ";

// The station's options as the Linux window reads them: --gang IMAGE and what follows it.
// `app` holds them: it lives as long as `gang` is read.
bool ParseGangOptions(const GuiOptions& options, CLI::App& app, GangWindowOptions& gang,
                      std::ostream& err) {
    AddGangWindowOptions(app, gang);
    std::vector<std::string> args{"--gang", options.gangImage};
    args.insert(args.end(), options.gangOptions.begin(), options.gangOptions.end());
    // CLI11 takes the arguments last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        err << kWho << error.what() << '\n';
        return false;
    }
    if (gang.noLedger && !options.window.ledger.url.empty()) {
        err << kWho << "--no-ledger excludes --ledger\n";
        return false;
    }
    return true;
}

}  // namespace

int RunGangStation(HINSTANCE instance, int showCommand, const GuiOptions& options,
                   const SayText& say) {
    std::ostringstream err;
    const auto refuse = [&] {
        say(err.str(), true);
        return 2;
    };
    CLI::App app{"The gang station window of Binwright.", "binwright-gui"};
    GangWindowOptions gang;
    if (!ParseGangOptions(options, app, gang, err)) return refuse();
    WindowOptions own = options.window;
    // The window's own option serves the station too.
    gang.text.expectSha256 = own.expectSha256;
    DeviceOptions device;
    if (!ResolveGangWindowOptions(gang, device, err)) return refuse();
    if (!ChooseGangLedger(gang, device, own.ledger, err)) return refuse();
    // The log, the ledger and the line, before the window shows.
    std::optional<WindowLine> line = StartWindowLine(own, err);
    if (!line) return refuse();
    BindGangRun(gang, own.logFile, line->ledger.get(), own.ledger);
    HidPlatform& platform = line->platform->platform();

    std::ostringstream out;
    GangStation station(gang.image, device, gang.run, "binwright-gui");
    if (const auto code = station.load(out, err)) {
        say(err.str(), true);
        return *code;
    }
    station.warnMissingPorts(platform, err);
    say(err.str(), false);  // the warnings

    // A console's Ctrl-C and Ctrl-Break, a logoff and the service manager's stop close the
    // window as the operator's close does: the mice in progress end, then the program does.
    InterruptFlag stopSignals;
    StationWindow view(instance, window::StationWindowModel::KnownSlots(station.settings()));
    window::StationWindowModel model(platform, station, view);
    model.WatchSignals(stopSignals);
    view.Show(showCommand);
    model.Start();
    // Until the window is gone: its close is the end, whether or not the quit message
    // reaches this loop.
    MSG message;
    while (view.Handle() != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    const int code = model.ExitCode();
    std::string problem;
    if (!line->platform->finish(&problem)) say(kWho + problem + "\n", true);
    return code;
}

}  // namespace bw::winapp
