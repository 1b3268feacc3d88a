// Entry of the window: options, the single-instance rule, the main window and
// the loading window, then the event loop.

#include <CLI/CLI.hpp>
#include <QApplication>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/line_simulator.h"
#include "app/main_form.h"
#include "app/single_instance.h"
#include "app/station_main.h"
#include "app/station_window.h"
#include "binwright_version.h"
#include "frontend/command_ledger.h"
#include "frontend/window_options.h"
#include "sim/sim_platform.h"
#include "ui/form_loading.h"
#include "ui/message_boxes.h"
#include "window/line_simulator_model.h"
#include "window/main_window_model.h"
#include "window/running_copy.h"

int main(int argc, char** argv) {
    CLI::App options{"The operator's window of Binwright.", "binwright-gui"};
    options.allow_extras();  // the toolkit's own options (-platform, ...) pass through
    bw::WindowOptions window;
    bw::AddWindowOptions(options, window);
    bw::GangWindowOptions gang;
    bw::AddGangWindowOptions(options, gang);
    gang.noLedgerOption->excludes(options.get_option("--ledger"));
    options.footer(
        "Read-back: every write reads back every byte it wrote before Write Pass (IC types 1\n"
        "  and 2: the whole memory; IC type 0 in 2k format: all eight blocks), in both windows;\n"
        "  they have no opt-out. Retry Times 0 is refused before the mouse is touched.\n"
        "One copy of each window: a second main window brings the first to the front and exits\n"
        "  0; the gang station is an instance of its own, and a second one brings the first to\n"
        "  the front, says so on stderr and exits 2.\n"
        "Gang station close: the first close lets the mice in progress end (no further one\n"
        "  starts) and the window stays with their results and a summary; the next close closes\n"
        "  it. A close while mice are still being written asks before aborting them, then names\n"
        "  the aborted slots (their mice may be half written). SIGTERM and Ctrl-C act as the\n"
        "  first close and the window goes once the mice ended; a second Ctrl-C within 3 s\n"
        "  aborts. Exit codes as binwright run --gang (143 after SIGTERM, 130 after Ctrl-C).\n"
        "See man binwright-gui.");
    try {
        options.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end with 0; an option that cannot be used with 2, as the
        // command line does and the manual says.
        return options.exit(error) == 0 ? 0 : 2;
    }
    if (!bw::ResolveWindowOptions(window, std::cerr)) return 2;
    bw::DeviceOptions gangOptions;
    const bool ganged = gang.gang->count() > 0;
    if (ganged) {
        // The window's own option serves the station too.
        gang.text.expectSha256 = window.expectSha256;
        if (!bw::ResolveGangWindowOptions(gang, gangOptions, std::cerr)) return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("binwright-gui"));
    QApplication::setApplicationVersion(QStringLiteral(BINWRIGHT_VERSION));
    // The application title captions the message boxes (kApplicationTitle). It is
    // not set as the display name: the toolkit would append it to the window title.

    // A copy of this window already runs: it comes to the front, and this start ends as the
    // rule for a second start says.
    bw::SingleInstance instance(QString::fromUtf8(bw::window::RunningCopyTitle(ganged)));
    if (instance.ActivateRunningCopy()) {
        const bw::window::SecondStart second = bw::window::SecondStartOutcome(ganged);
        std::fputs(second.message.c_str(), stderr);
        return second.exitCode;
    }
    instance.Listen();

    bw::LedgerChoice& ledgerChoice = window.ledger;
    if (ganged && !bw::ChooseGangLedger(gang, gangOptions, ledgerChoice, std::cerr)) return 2;

    // The log, the ledger and the line, before the window shows.
    std::optional<bw::WindowLine> started = bw::StartWindowLine(window, std::cerr);
    if (!started) return 2;
    bw::PlatformStack* platform = started->platform.get();
    bw::ledger::StationLedger* stationLedger = started->ledger.get();

    if (ganged) {
        bw::BindGangRun(gang, window.logFile, stationLedger, ledgerChoice);
        const int code = bw::RunGangWindow(gang, gangOptions, *platform, instance);
        std::string message;
        if (!platform->finish(&message))
            std::fprintf(stderr, "binwright-gui: %s\n", message.c_str());
        return code;
    }

    // The window's controls, and beside them its behaviour.
    bw::TForm1 form;
    bw::window::MainWindowModel model(platform->platform(), form);
    model.FormCreate(bw::WindowsLocaleId(QLocale::system()));
    bw::TFormLoadingUI loading;
    loading.PlaceAtCreation(form.frameGeometry());
    form.SetLoadingWindow(&loading);
    if (!window.logFile.empty()) model.productionLog = bw::ProductionLog(window.logFile);
    model.approvedSha256 = window.approvedSha256;
    model.UseLedger(stationLedger);

    QObject::connect(&instance, &bw::SingleInstance::restoreRequested, &form,
                     [&form] { bw::BringToFront(form); });
    QObject::connect(&form, &bw::TForm1::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.show();

    // On the simulated line a second window plugs and pulls the devices. Shown after
    // the main window, so that it starts on top where the screen makes them overlap.
    std::unique_ptr<bw::LineSimulator> lineSimulator;
    std::unique_ptr<bw::window::LineSimulatorModel> lineSimulatorModel;
    if (bw::SimulatedPlatform* line = platform->simulated()) {
        lineSimulator = std::make_unique<bw::LineSimulator>();
        lineSimulatorModel =
            std::make_unique<bw::window::LineSimulatorModel>(*line, *lineSimulator);
        // Never over the device status and the result.
        lineSimulator->FollowBeside(form, form.gbResult->geometry().bottom() + 8);
        lineSimulator->show();
    }
    app.exec();

    bw::FinishWindowLine(*started, std::cerr);
    return 0;
}
