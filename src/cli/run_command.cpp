#include "cli/run_command.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/device_commands.h"
#include "frontend/command_image.h"
#include "frontend/command_ledger.h"
#include "frontend/command_log.h"
#include "frontend/hex_field_text.h"
#include "image/factory_record.h"
#include "image/mouse_session.h"
#include "os/utf8_path.h"
#include "production/auto_write.h"
#include "production/polling.h"
#include "production/result_text.h"
#include "production/station_state.h"

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
    return ClockTime(when) + "  SN " + ProductNumberText(productNumber) + "  " + result + "  " +
           duration + "  passes " + std::to_string(passes);
}

int RunAutomatic(const std::string& imageFile, const DeviceOptions& options, const RunOptions& run,
                 PlatformStack& platforms, OperationHost& host, std::ostream& out,
                 std::ostream& err, RunTotals* totals) {
    StationState station;
    MouseSession state(platforms.platform());
    // One JSON line per mouse: what `write` would say of it.
    const auto mouseReport = [&](const Reason& reason) {
        return MouseReport(options, imageFile, station.LoadedImageIdentity, reason);
    };
    Reason refusal;
    if (const auto code = LoadCommandImage(imageFile, options, station, out, err, &refusal)) {
        if (run.json != nullptr) {
            OperationReport report = mouseReport(refusal);
            report.exitCode = *code;
            *run.json << OperationJson(report) << std::endl;
        }
        return *code;
    }

    station.handImageTo(state);

    ledger::StationLedger* stationLedger = run.ledger.station;
    const LedgerStopGuard ledgerStops(stationLedger, host);
    const bool numbered = stationLedger != nullptr && NumbersFromLedger(options);
    if (stationLedger != nullptr && !numbered) {
        std::string problem;
        if (const auto code = StartRecording(*stationLedger, err, kWho, &problem)) {
            if (run.json != nullptr) {
                OperationReport report =
                    mouseReport(MakeReason(ReasonCode::BadParameters, problem));
                report.exitCode = *code;
                *run.json << OperationJson(report) << std::endl;
            }
            return *code;
        }
    }
    if (numbered) {
        bool proven = false;
        std::string problem;
        if (const auto code = StartNumbering(run.ledger, options, station, state, imageFile, host,
                                             err, kWho, &proven, &problem)) {
            if (run.json != nullptr) {
                OperationReport report = mouseReport(NoNumberReason(problem));
                report.exitCode = *code;
                *run.json << OperationJson(report) << std::endl;
            }
            return *code;
        }
        // The mouse at hand already holds its number: it is not written again, the next is.
        if (proven) station.LastDeviceCount = state.link.CountHidInterfaces();
        if (!options.quiet) SayNextNumber(*stationLedger, options.factory.type, err);
    }

    const AutoWriteSettings settings{options.ic, options.vid, options.pid, options.params,
                                     options.factory};
    bool logLost = false;
    bool ledgerLost = false;  // a row not recorded: no further mouse
    AutoWriteHooks hooks(station, state, settings, host, [&](const MouseResult& r) {
        state.RecordGate = nullptr;
        DeviceOptions used = options;
        used.factory = r.factory;
        // A mouse left alone: its factory record was read, nothing was written.
        const Operation op = r.leftAlone ? Operation::ReadFactory : Operation::Write;
        // Recorded (or kept in the spool) before the result is shown.
        bool recorded = true;
        if (stationLedger != nullptr) {
            ledger::OperationFacts facts = CommandFacts(op, r.leftAlone ? Outcome::Pass : r.outcome,
                                                        used, station, state, imageFile, r.timing);
            const ledger::OperationRecord row =
                r.leftAlone ? LeftAloneRow(*stationLedger, facts, r.text, r.reason)
                            : stationLedger->row(facts);
            recorded = stationLedger->finish(row, state.FactoryRecordSent);
            if (!recorded) {
                ledgerLost = true;
                const auto spool = stationLedger->spoolFolder();
                err << kWho << ": not recorded in the ledger"
                    << (stationLedger->holding() ? " yet" : "") << ": " << stationLedger->problem()
                    << (stationLedger->holding() && spool
                            ? "; kept in the spool " + Utf8FromPath(*spool) + " until it can be"
                            : std::string())
                    << "; no further mouse is taken\n";
            }
        }
        out << FormatRunLine(std::chrono::system_clock::now(), r.factory.number, r.text,
                             r.sinceArrival, r.passCount)
            << std::endl;
        PrintReason(r.text, r.reason, err);
        if (!numbered && r.recordWentOut && r.outcome != Outcome::Pass) {
            err << kWho << ": SN " << ProductNumberText(r.factory.number)
                << " went out to this mouse, which may hold it: the next mouse gets "
                << ProductNumberText(NextProductNumber(r.factory.number)) << "\n";
        }
        const LogEntry entry =
            r.leftAlone ? CommandLogEntry(op, Outcome::Fail, used, r.timing, std::nullopt,
                                          std::nullopt, r.text, r.reason)
                        : CommandLogEntry(op, r.outcome, used, r.timing, r.writtenNumber,
                                          station.LoadedImageIdentity, std::nullopt, r.reason);
        // A mouse the station cannot trace must not be followed by more of them.
        const bool logged = AppendCommandLog(run.log, entry, err);
        if (!logged) logLost = true;
        if (run.json != nullptr) {
            OperationReport report = mouseReport(r.reason);
            report.result = r.text;
            report.exitCode = !logged || !recorded ? exitcode::NotLogged
                              : r.leftAlone        ? exitcode::AlreadyWritten
                                                   : ExitCodeOf(r.outcome);
            report.path = r.path;
            report.productNumber = r.writtenNumber;
            report.attempts = r.attempts;
            report.durationMs = entry.durationMs;
            report.started = r.timing.started;
            *run.json << OperationJson(report) << std::endl;
        }
    });
    bool noNumber = false;  // the ledger gave no number (else the number did not fit)
    if (numbered) {
        hooks.takeNumbersFrom([&](std::string* refusal) -> MouseNumber {
            MouseNumber given;
            try {
                // A mouse that holds a number written before gets no second one.
                const MouseAtHand seen =
                    ExamineMouseAtHand(*stationLedger, state, options, run.ledger.rewrite, host);
                if (seen.kind == MouseAtHand::Kind::AlreadyWritten) {
                    given.leftAlone = seen.shown;
                    given.heldNumber = seen.number;
                    given.reason = seen.reason;
                    return given;
                }
                given.number = seen.kind == MouseAtHand::Kind::Rewrite
                                   ? seen.number
                                   : stationLedger->reserve(options.factory.type);
                state.RecordGate = stationLedger;
            } catch (const ledger::LedgerError& e) {
                *refusal = e.what();
                noNumber = true;
            }
            return given;
        });
    }

    // LastDeviceCount starts at 0: the first tick takes every present interface as arrived.
    const auto done = [&] {
        return (run.count > 0 && hooks.mice() + hooks.leftAlone() >= run.count) ||
               StopAsked(host) || logLost || ledgerLost || !hooks.refusal().empty();
    };
    while (!done()) {
        hooks.startTick();
        RunPollTick(station, state, hooks, host);
        if (done()) break;
        WaitForNextTick(host, run.intervalMs);
    }

    const int fails = hooks.mice() - hooks.passes();
    out << "total " << hooks.mice() << " passed " << hooks.passes() << " failed " << fails
        << AlreadyWrittenText(hooks.leftAlone()) << std::endl;
    if (totals != nullptr) {
        totals->mice = hooks.mice();
        totals->passed = hooks.passes();
        totals->alreadyWritten = hooks.leftAlone();
    }
    // Results the ledger could not take are tried again before the run ends.
    const bool rowsLost =
        stationLedger != nullptr &&
        ((stationLedger->holding() && !SettleHeldRows(*stationLedger, host, err, kWho)) ||
         stationLedger->refusedRows() > 0);
    if (numbered && !options.quiet && !rowsLost && !ledgerLost) {
        SayNextNumber(*stationLedger, options.factory.type, err);
    }
    if (!hooks.refusal().empty()) {
        err << kWho << ": " << hooks.refusal() << "; nothing was written to this mouse\n";
        const int code = rowsLost ? exitcode::NotLogged : exitcode::Usage;
        if (run.json != nullptr) {
            OperationReport report =
                mouseReport(noNumber ? NoNumberReason(hooks.refusal())
                                     : MakeReason(ReasonCode::BadParameters, hooks.refusal()));
            report.exitCode = code;
            report.path = state.link.OpenedPath;
            *run.json << OperationJson(report) << std::endl;
        }
        return code;
    }
    if (logLost || rowsLost) return exitcode::NotLogged;
    if (ledgerLost) return exitcode::Usage;
    return RunExitCode(fails, hooks.leftAlone());
}

std::string AlreadyWrittenText(int leftAlone) {
    return leftAlone > 0 ? " already written " + std::to_string(leftAlone) : std::string();
}

}  // namespace bw
