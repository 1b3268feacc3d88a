#pragma once
// binwright-gui --gang IMAGE, on either window: the options of `binwright run --gang` in a
// group of their own, how they resolve, the ledger the station numbers from and what the
// run is given (log, ledger). Messages go to `err` prefixed with "binwright-gui: ".

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "frontend/command_ledger.h"
#include "frontend/device_options.h"
#include "frontend/run_options.h"

namespace bw {

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

// Resolves the options given (warnings for ones the IC type ignores). False, with the
// reason, for a value that cannot be used.
bool ResolveGangWindowOptions(GangWindowOptions& gang, DeviceOptions& options, std::ostream& err);

// The station keeps the numbers it writes: in the default ledger unless --ledger names one
// or --no-ledger asks for none. False, with the reason, when that ledger cannot be chosen.
bool ChooseGangLedger(const GangWindowOptions& gang, const DeviceOptions& options,
                      LedgerChoice& choice, std::ostream& err);

// What the run writes to: the log (empty: none) and the ledger opened (null: none).
void BindGangRun(GangWindowOptions& gang, const std::string& logFile, ledger::StationLedger* ledger,
                 const LedgerChoice& choice);

}  // namespace bw
