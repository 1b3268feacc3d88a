#pragma once
// binwright-gui --gang IMAGE: the gang station window instead of the main window, with the
// options of `binwright run --gang`.

#include <CLI/CLI.hpp>
#include <string>

#include "frontend/device_options.h"
#include "frontend/platform_factory.h"
#include "frontend/run_options.h"

namespace bw {

class SingleInstance;

// What the window's command line holds for the gang station.
struct GangWindowOptions {
    CLI::Option* gang = nullptr;  // --gang IMAGE
    CLI::App* group = nullptr;    // the options that need it
    std::string image;
    DeviceOptionText text;
    RunOptions run;
    bool rewrite = false;                   // --rewrite
    bool noLedger = false;                  // --no-ledger
    CLI::Option* noLedgerOption = nullptr;  // excludes --ledger
};

// Adds --gang and the options of the station (in a group of their own, each needing --gang).
void AddGangWindowOptions(CLI::App& app, GangWindowOptions& gang);

// Resolves the options given (warnings for ones the IC type ignores on stderr). False,
// with the reason on stderr, for a value that cannot be used.
bool ResolveGangWindowOptions(GangWindowOptions& gang, DeviceOptions& options);

// Loads the image, shows the station window and runs the event loop; the run's exit code
// (as `binwright run --gang`), 2 when the image cannot be used.
int RunGangWindow(GangWindowOptions& gang, const DeviceOptions& options, PlatformStack& platform,
                  SingleInstance& instance);

}  // namespace bw
