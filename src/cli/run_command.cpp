#include "cli/run_command.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/command_ledger.h"
#include "cli/command_log.h"
#include "cli/device_commands.h"
#include "production/auto_write.h"
#include "production/controller_state.h"
#include "production/polling.h"
#include "production/result_text.h"

namespace bw {
namespace {

// Short slices, so that Ctrl-C is noticed soon while waiting for the next tick.
constexpr int kWaitSliceMs = 50;

void WaitForNextTick(OperationHost& host, int intervalMs) {
    for (int left = intervalMs; left > 0 && !StopAsked(host); left -= kWaitSliceMs) {
        host.sleepMs(std::min(left, kWaitSliceMs));
    }
}

std::string ClockTime(std::chrono::system_clock::time_point when) {
    const std::tm local = LocalTime(when);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

constexpr const char* kWho = "binwright run";

// "binwright run: ledger ..., station st-1: type 0005 goes on at 00002A"
void SayNextNumber(ledger::StationLedger& station, std::int32_t productType, std::ostream& err) {
    try {
        const std::optional<std::int32_t> next = station.ledger().nextNumber(productType);
        err << kWho << ": ledger " << station.ledger().where() << ", station " << station.station()
            << ": type " << ledger::TypeText(productType)
            << (next ? " goes on at " + ledger::NumberText(*next)
                     : std::string(" has no number left"))
            << "\n";
    } catch (const ledger::LedgerError& e) {
        err << kWho << ": " << e.what() << "\n";
    }
}

}  // namespace

std::string FormatRunLine(std::chrono::system_clock::time_point when, std::int32_t productNumber,
                          const std::string& result, std::chrono::steady_clock::duration taken,
                          std::int32_t passes) {
    const double seconds = std::chrono::duration<double>(taken).count();
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1fs", seconds);
    return ClockTime(when) + "  SN " + HexFieldText(productNumber) + "  " + result + "  " +
           duration + "  passes " + std::to_string(passes);
}

int RunAutomatic(const std::string& imageFile, const DeviceOptions& options, const RunOptions& run,
                 PlatformStack& platforms, OperationHost& host, std::ostream& out,
                 std::ostream& err) {
    ControllerState state(platforms.platform());
    if (const auto code = LoadCommandImage(imageFile, options, state, out, err)) return *code;

    ledger::StationLedger* station = run.ledger.station;
    const bool numbered = station != nullptr && NumbersFromLedger(options);
    if (numbered) {
        bool proven = false;
        if (const auto code =
                StartNumbering(run.ledger, options, state, imageFile, host, err, kWho, &proven)) {
            return *code;
        }
        // The mouse at hand already holds its number: it is not written again, the next is.
        if (proven) state.LastDeviceCount = state.link.CountHidInterfaces();
        if (!options.quiet) SayNextNumber(*station, options.factory.type, err);
    }

    const AutoWriteSettings settings{options.ic, options.vid, options.pid, options.params,
                                     options.factory};
    bool logLost = false;
    bool ledgerLost = false;  // a row not recorded: no further mouse
    AutoWriteHooks hooks(state, settings, host, [&](const MouseResult& r) {
        state.RecordGate = nullptr;
        DeviceOptions used = options;
        used.factory = r.factory;
        if (station != nullptr) {
            ledger::OperationFacts facts =
                CommandFacts(Operation::Write, r.outcome, used, state, imageFile, r.timing);
            if (!station->finish(station->row(facts))) {
                ledgerLost = true;
                err << kWho << ": not recorded in the ledger" << (station->holding() ? " yet" : "")
                    << ": " << station->problem() << "; no further mouse is taken\n";
            }
        }
        out << FormatRunLine(std::chrono::system_clock::now(), r.factory.number, r.text,
                             r.sinceArrival, r.passCount)
            << std::endl;
        // A mouse the station cannot trace must not be followed by more of them.
        if (!AppendCommandLog(run.log,
                              CommandLogEntry(Operation::Write, r.outcome, used, r.timing,
                                              r.writtenNumber, state.LoadedImageIdentity),
                              err)) {
            logLost = true;
        }
    });
    if (numbered) {
        hooks.takeNumbersFrom([&](std::string* refusal) -> std::optional<std::int32_t> {
            try {
                const std::int32_t number = station->reserve(options.factory.type);
                state.RecordGate = station;
                return number;
            } catch (const ledger::LedgerError& e) {
                *refusal = e.what();
                return std::nullopt;
            }
        });
    }

    // LastDeviceCount starts at 0: the first tick takes every present interface as arrived.
    const auto done = [&] {
        return (run.count > 0 && hooks.mice() >= run.count) || StopAsked(host) || logLost ||
               ledgerLost || !hooks.refusal().empty();
    };
    while (!done()) {
        hooks.startTick();
        RunPollTick(state, hooks, host);
        if (done()) break;
        WaitForNextTick(host, run.intervalMs);
    }

    const int fails = hooks.mice() - hooks.passes();
    out << "total " << hooks.mice() << " passed " << hooks.passes() << " failed " << fails
        << std::endl;
    // Results the ledger could not take are tried again before the run ends.
    const bool rowsLost =
        station != nullptr && ((station->holding() && !SettleHeldRows(*station, host, err, kWho)) ||
                               station->refusedRows() > 0);
    if (numbered && !options.quiet && !rowsLost && !ledgerLost) {
        SayNextNumber(*station, options.factory.type, err);
    }
    if (!hooks.refusal().empty()) {
        err << kWho << ": " << hooks.refusal() << "; nothing was written to this mouse\n";
        return rowsLost ? exitcode::NotLogged : exitcode::Usage;
    }
    if (logLost || rowsLost) return exitcode::NotLogged;
    if (ledgerLost) return exitcode::Usage;
    return fails == 0 ? exitcode::Pass : exitcode::Fail;
}

}  // namespace bw
