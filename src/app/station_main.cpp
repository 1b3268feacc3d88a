#include "app/station_main.h"

#include <QApplication>
#include <cstdio>
#include <iostream>

#include "app/single_instance.h"
#include "app/station_window.h"
#include "frontend/device_option_flags.h"
#include "frontend/gang_station.h"
#include "frontend/ignored_options.h"
#include "frontend/interrupt_flag.h"

namespace bw {

void AddGangWindowOptions(CLI::App& app, GangWindowOptions& gang) {
    gang.gang = app.add_option("--gang", gang.image,
                               "Open the gang station window: every mouse plugged in is written "
                               "with IMAGE at once, each on its own USB port (a slot)")
                    ->type_name("IMAGE");
    gang.group = app.add_option_group("Gang station", "With --gang, as `binwright run --gang`:");
    AddIdentityOptions(gang.group, gang.text);
    AddWriteOptions(gang.group, gang.text);
    AddCountOption(gang.group, gang.run);
    AddSlotsOption(gang.group, gang.run);
    gang.noLedgerOption = AddNumberingOptions(gang.group, gang.rewrite, gang.noLedger);
    for (CLI::Option* option : gang.group->get_options()) option->needs(gang.gang);
}

bool ResolveGangWindowOptions(GangWindowOptions& gang, DeviceOptions& options) {
    try {
        options = ResolveDeviceOptions(gang.text);
    } catch (const OptionError& error) {
        std::fprintf(stderr, "binwright-gui: %s\n", error.what());
        return false;
    }
    for (const std::string& line : IgnoredOptions(*gang.group, true, options))
        std::fprintf(stderr, "binwright-gui: warning: %s\n", line.c_str());
    gang.run.gang = true;
    return true;
}

int RunGangWindow(GangWindowOptions& gang, const DeviceOptions& options, PlatformStack& platform,
                  SingleInstance& instance) {
    GangStation station(gang.image, options, gang.run, "binwright-gui");
    if (const auto code = station.load(std::cout, std::cerr)) return *code;
    station.warnMissingPorts(platform.platform(), std::cerr);

    // SIGTERM (a service stopped) and Ctrl-C close the window as the operator's close does:
    // the mice in progress end, then the program does, as `run --gang` would.
    InterruptFlag stopSignals;
    StationWindow window(platform.platform(), station);
    window.WatchSignals(stopSignals);
    QObject::connect(&instance, &SingleInstance::restoreRequested, &window,
                     [&window] { BringToFront(window); });
    window.show();
    window.Start();
    QApplication::exec();
    return window.ExitCode();
}

}  // namespace bw
