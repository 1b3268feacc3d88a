#pragma once
// What an automatic run takes beside the device options (`run`, `run --gang`, the gang
// window) and the exit code it ends with.

#include <ostream>
#include <string>

#include "frontend/command_ledger.h"
#include "production/production_log.h"

namespace bw {

struct RunOptions {
    int count = 0;          // stop after this many mice; 0: until stopped
    int intervalMs = 1000;  // poll period
    ProductionLog log;
    CommandLedger ledger;          // --ledger: a row per mouse, numbers from the ledger
    std::ostream* json = nullptr;  // --json: one line per mouse goes here as it ends
    bool gang = false;  // --gang: every mouse plugged in written at once (cli/gang_command.h)
    // --slots N or PORT,...; empty: any number, in order of appearance. Not `slots`: a Qt
    // macro in the window, which shares these options.
    std::string slotsText;
};

// A run's exit code when nothing ended it early: 1 when a mouse failed, else 7 when a mouse
// was left alone as already written, else 0.
int RunExitCode(int fails, int leftAlone);

}  // namespace bw
