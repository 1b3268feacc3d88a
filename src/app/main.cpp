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
#include "frontend/command_log.h"
#include "frontend/platform_factory.h"
#include "image/image_identity.h"
#include "sim/sim_platform.h"
#include "ui/form_loading.h"
#include "ui/message_boxes.h"
#include "window/main_window_model.h"

int main(int argc, char** argv) {
    CLI::App options{"The operator's window of Binwright.", "binwright-gui"};
    options.allow_extras();  // the toolkit's own options (-platform, ...) pass through
    bw::PlatformOptions platformOptions;
    CLI::Option* simulate =
        options
            .add_option("--simulate", platformOptions.scenario,
                        "Run on the simulated production line, optionally with SCENARIO")
            ->expected(0, 1);
    options.add_option("--trace", platformOptions.traceFile,
                       "Write every feature transfer to FILE");
    std::string logFile;
    options.add_option("--log", logFile, "Append one CSV line per operation to FILE");
    std::string expectSha256;
    options
        .add_option("--expect-sha256", expectSha256,
                    "Load only the BIN file with this SHA-256 (64 hex digits)")
        ->type_name("HEX");
    // Every write reads back every byte it wrote; the option is still taken, the windows have
    // no way out of it.
    bool alwaysVerified = true;
    options.add_flag("--verify-after-write", alwaysVerified,
                     "Every write reads back and compares every byte written (always on)");
    bw::LedgerChoice ledgerChoice;
    options
        .add_option("--ledger", ledgerChoice.url,
                    "Record every operation in the production ledger (a SQLite FILE or a "
                    "PostgreSQL connection string); with Write Product ID it gives the numbers")
        ->type_name("URL");
    options
        .add_option("--station-name", ledgerChoice.stationName,
                    "This station's name in the ledger (default: the host name)")
        ->type_name("NAME");
    bw::GangWindowOptions gang;
    bw::AddGangWindowOptions(options, gang);
    gang.noLedgerOption->excludes(options.get_option("--ledger"));
    options.set_version_flag("--version", std::string("binwright-gui ") + BINWRIGHT_VERSION);
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
    platformOptions.simulate = simulate->count() > 0;
    std::optional<bw::Sha256> approvedSha256;
    if (!expectSha256.empty()) {
        approvedSha256 = bw::ParseSha256(expectSha256);
        if (!approvedSha256) {
            std::fprintf(stderr,
                         "binwright-gui: --expect-sha256: '%s' is not a SHA-256 (64 "
                         "hexadecimal digits)\n",
                         expectSha256.c_str());
            return 2;
        }
    }
    bw::DeviceOptions gangOptions;
    const bool ganged = gang.gang->count() > 0;
    if (ganged) {
        // The window's own option serves the station too.
        gang.text.expectSha256 = expectSha256;
        if (!bw::ResolveGangWindowOptions(gang, gangOptions, std::cerr)) return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("binwright-gui"));
    QApplication::setApplicationVersion(QStringLiteral(BINWRIGHT_VERSION));
    // The application title captions the message boxes (kApplicationTitle). It is
    // not set as the display name: the toolkit would append it to the window title.

    // A copy already runs: bring its window to the front. A second main window then ends
    // quietly; the gang station is an instance of its own (its own title), and a second one
    // would fight the first for the mice: it says so and ends with 2, so that no script reads
    // "every mouse passed" from a station that never ran.
    bw::SingleInstance instance(
        QString::fromUtf8(ganged ? bw::kStationWindowTitle : bw::kMainWindowTitle));
    if (instance.ActivateRunningCopy()) {
        if (!ganged) return 0;
        std::fprintf(stderr,
                     "binwright-gui: another gang station is open (brought to the front); this "
                     "one does not start\n");
        return 2;
    }
    instance.Listen();

    std::string logProblem;
    if (!logFile.empty() && !bw::LogFileUsable(logFile, &logProblem)) {
        std::fprintf(stderr, "binwright-gui: %s\n", logProblem.c_str());
        return 2;
    }

    if (ganged && !bw::ChooseGangLedger(gang, gangOptions, ledgerChoice, std::cerr)) return 2;

    // The ledger is opened before the window shows: a station that cannot record or number
    // its mice does not start.
    std::unique_ptr<bw::ledger::StationLedger> stationLedger;
    if (!ledgerChoice.url.empty()) {
        try {
            stationLedger = bw::OpenStationLedger(ledgerChoice);
        } catch (const bw::ledger::LedgerError& error) {
            std::fprintf(stderr, "binwright-gui: %s\n", error.what());
            return 2;
        }
    }

    std::unique_ptr<bw::PlatformStack> platform;
    try {
        platform = std::make_unique<bw::PlatformStack>(platformOptions);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "binwright-gui: %s\n", error.what());
        return 2;
    }

    if (ganged) {
        bw::BindGangRun(gang, logFile, stationLedger.get(), ledgerChoice);
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
    if (!logFile.empty()) model.productionLog = bw::ProductionLog(logFile);
    model.approvedSha256 = approvedSha256;
    model.UseLedger(stationLedger.get());

    QObject::connect(&instance, &bw::SingleInstance::restoreRequested, &form,
                     [&form] { bw::BringToFront(form); });
    QObject::connect(&form, &bw::TForm1::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.show();

    // On the simulated line a second window plugs and pulls the devices. Shown after
    // the main window, so that it starts on top where the screen makes them overlap.
    std::unique_ptr<bw::LineSimulator> lineSimulator;
    if (bw::SimulatedPlatform* line = platform->simulated()) {
        lineSimulator = std::make_unique<bw::LineSimulator>(*line);
        // Never over the device status and the result.
        lineSimulator->FollowBeside(form, form.gbResult->geometry().bottom() + 8);
        lineSimulator->show();
    }
    app.exec();

    std::string message;
    if (!platform->finish(&message)) std::fprintf(stderr, "binwright-gui: %s\n", message.c_str());
    // Results the ledger could not take are tried again; what is left is said with its number.
    if (stationLedger && stationLedger->holding()) {
        bw::NullHost waits;
        bw::SettleHeldRows(*stationLedger, waits, std::cerr, "binwright-gui");
    }
    return 0;
}
