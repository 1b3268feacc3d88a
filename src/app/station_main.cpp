#include "app/station_main.h"

#include <QApplication>
#include <iostream>

#include "app/single_instance.h"
#include "app/station_window.h"
#include "frontend/gang_station.h"
#include "frontend/interrupt_flag.h"
#include "window/station_window_model.h"

namespace bw {

int RunGangWindow(GangWindowOptions& gang, const DeviceOptions& options, PlatformStack& platform,
                  SingleInstance& instance) {
    GangStation station(gang.image, options, gang.run, "binwright-gui");
    if (const auto code = station.load(std::cout, std::cerr)) return *code;
    station.warnMissingPorts(platform.platform(), std::cerr);

    // SIGTERM (a service stopped) and Ctrl-C close the window as the operator's close does:
    // the mice in progress end, then the program does, as `run --gang` would.
    InterruptFlag stopSignals;
    StationWindow window(window::StationWindowModel::KnownSlots(station.settings()));
    window::StationWindowModel model(platform.platform(), station, window);
    model.WatchSignals(stopSignals);
    QObject::connect(&instance, &SingleInstance::restoreRequested, &window,
                     [&window] { BringToFront(window); });
    window.show();
    model.Start();
    QApplication::exec();
    return model.ExitCode();
}

}  // namespace bw
