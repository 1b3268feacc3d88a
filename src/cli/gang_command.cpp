#include "cli/gang_command.h"

#include <cstdio>

#include "cli/device_commands.h"
#include "cli/operation_json.h"
#include "frontend/command_ledger.h"
#include "frontend/gang_station.h"
#include "frontend/hex_field_text.h"
#include "production/result_text.h"

namespace bw {
namespace {

constexpr const char* kWho = "binwright run";

OperationReport GangReport(const GangStation& station, const DeviceOptions& options,
                           const Reason& reason) {
    return MouseReport(options, station.imageFile(), station.settings().imageIdentity, reason);
}

// The terminal's side: a line per finished mouse on out (and its JSON line with --json),
// the log row, what a slot's port is and numbers not written on err. The runner calls one
// method at a time, so a JSON line is never cut by another.
class GangPrinter : public station::GangObserver {
  public:
    GangPrinter(GangStation& station, const DeviceOptions& options, std::ostream* json,
                std::ostream& out, std::ostream& err)
        : station_(station), options_(options), json_(json), out_(out), err_(err) {}

    void attach(station::GangRunner& runner) { runner_ = &runner; }

    void slotAssigned(int slot, const std::string& port) override {
        if (!options_.quiet) err_ << kWho << ": slot " << slot << " is port " << port << "\n";
    }
    void portIgnored(const std::string& port) override {
        err_ << kWho << ": warning: a mouse on port " << port << " has no slot and is left alone\n";
    }
    void portUnnamed(const std::string& path) override {
        err_ << kWho << ": warning: the mouse " << path
             << " is left alone: the system does not name its USB port, so it can have no slot\n";
    }
    void mouseHeld(int slot, const station::HeldMouse& mouse) override {
        station_.sayHeld(slot, mouse, err_);
    }
    void mouseFinished(const station::GangResult& r) override {
        out_ << FormatGangLine(r) << std::endl;
        std::int64_t durationMs = 0;
        const bool logged = station_.recordFinished(r, *runner_, err_, &durationMs);
        if (json_ == nullptr) return;
        OperationReport report = GangReport(station_, options_, r.reason);
        report.result = r.text;
        report.exitCode = !logged || !r.notRecorded.empty() ? exitcode::NotLogged
                          : r.leftAlone                     ? exitcode::AlreadyWritten
                                                            : ExitCodeOf(r.outcome);
        report.path = r.devicePath;
        report.productNumber = r.writtenNumber;
        report.attempts = r.attempts;
        report.durationMs = durationMs;
        report.started = r.timing.started;
        report.slot = r.slot;
        report.port = r.port;
        *json_ << OperationJson(report) << std::endl;
    }

  private:
    GangStation& station_;
    const DeviceOptions& options_;
    std::ostream* json_;
    std::ostream& out_;
    std::ostream& err_;
    station::GangRunner* runner_ = nullptr;
};

// The totals: a line per slot, then the run's as `run` prints them.
void PrintTotals(const station::GangSummary& summary, std::ostream& out) {
    for (const station::SlotTotals& slot : summary.perSlot) {
        out << "slot " << slot.slot << "  port " << slot.port << "  total " << slot.mice
            << " passed " << slot.passes << " failed " << slot.mice - slot.passes
            << AlreadyWrittenText(slot.leftAlone) << "\n";
    }
    out << "total " << summary.mice << " passed " << summary.passes << " failed "
        << summary.mice - summary.passes << AlreadyWrittenText(summary.leftAlone) << std::endl;
}

}  // namespace

std::string FormatGangLine(const station::GangResult& result) {
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1fs",
                  std::chrono::duration<double>(result.sincePlug).count());
    std::string line = "slot " + std::to_string(result.slot) + "  SN ";
    line += result.writtenNumber ? ProductNumberText(*result.writtenNumber) : std::string("-");
    line += "  ";
    line += result.text;
    line += "  ";
    line += duration;
    return line;
}

int RunGang(const std::string& imageFile, const DeviceOptions& options, const RunOptions& run,
            PlatformStack& platforms, OperationHost& host, std::ostream& out, std::ostream& err,
            OperationHost* waits, RunTotals* totals) {
    GangStation station(imageFile, options, run, kWho);
    if (totals != nullptr) totals->perSlot.emplace();
    // Refused before any mouse: one line saying why, as `run` gives it.
    const auto sayRefused = [&](const Reason& reason, int code) {
        if (run.json == nullptr) return;
        OperationReport report = GangReport(station, options, reason);
        report.exitCode = code;
        *run.json << OperationJson(report) << std::endl;
    };
    Reason refusal;
    if (const auto code = station.load(out, err, &refusal)) {
        sayRefused(refusal, *code);
        return *code;
    }
    station.warnMissingPorts(platforms.platform(), err);
    std::string problem;
    if (const auto code = station.startNumbering(platforms.platform(), host, err, &problem)) {
        sayRefused(NoNumberReason(problem), *code);
        return *code;
    }

    GangPrinter printer(station, options, run.json, out, err);
    station::GangRunner runner(platforms.platform(), station.settings(), station.serials(), printer,
                               station.waits(waits));
    printer.attach(runner);
    const station::GangSummary summary = runner.run(host);

    PrintTotals(summary, out);
    if (totals != nullptr) {
        totals->mice = summary.mice;
        totals->passed = summary.passes;
        totals->alreadyWritten = summary.leftAlone;
        for (const station::SlotTotals& slot : summary.perSlot) {
            totals->perSlot->push_back(
                {slot.slot, slot.port, slot.mice, slot.passes, slot.leftAlone});
        }
    }
    if (!station.fromLedger() && NumbersFromLedger(options) && !options.quiet) {
        err << kWho << ": the next product number is " << ProductNumberText(*station.nextNumber())
            << "\n";
    }
    const int code = station.finish(summary, host, err);
    if (!summary.refusal.empty()) {
        sayRefused(station.fromLedger() ? NoNumberReason(summary.refusal)
                                        : MakeReason(ReasonCode::BadParameters, summary.refusal),
                   code);
    }
    return code;
}

}  // namespace bw
