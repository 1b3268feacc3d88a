#include "cli/gang_command.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "cli/command_ledger.h"
#include "cli/command_log.h"
#include "cli/device_commands.h"
#include "ledger/ledger_error.h"
#include "production/controller_state.h"
#include "production/result_text.h"
#include "station/counter_serials.h"

namespace bw {
namespace {

constexpr const char* kWho = "binwright run";

// Numbers and rows from the ledger: one StationLedger (one connection) per slot, because a
// Ledger is used from one thread and a StationLedger holds the reservation and the gate of
// one write at a time. Each slot's ledger is used only by that slot's worker, one mouse
// after the other; the map of them is under a lock.
class LedgerSerials : public station::SerialSource {
  public:
    LedgerSerials(const LedgerChoice& choice, const DeviceOptions& options,
                  const std::string& imageFile, const std::optional<ImageIdentity>& image)
        : choice_(choice), options_(options), imageFile_(imageFile), image_(image) {}

    std::optional<std::int32_t> take(int slot, std::string* refusal) override {
        try {
            return ledgerOf(slot).reserve(options_.factory.type);
        } catch (const ledger::LedgerError& e) {
            *refusal = e.what();
            return std::nullopt;
        }
    }
    FactoryRecordGate* gate(int slot) override { return find(slot); }

    bool settle(int slot, const station::GangResult& result, std::string* problem) override {
        ledger::StationLedger* station = nullptr;
        try {
            station = &ledgerOf(slot);
        } catch (const ledger::LedgerError& e) {
            *problem = e.what();
            return false;
        }
        ledger::OperationFacts facts;
        facts.op = Operation::Write;
        facts.outcome = result.outcome;
        facts.ic = options_.ic;
        facts.vid = options_.vid;
        facts.pid = options_.pid;
        facts.devicePath = result.devicePath;
        facts.imageFile = imageFile_;
        facts.image = image_;
        facts.timing = result.timing;
        if (NumbersFromLedger(options_)) {
            facts.factory = result.factory;
            facts.productNumber = result.writtenNumber;
        }
        if (!result.opened) facts.caption = result.text;
        if (station->finish(station->row(facts))) return true;
        *problem = std::string("not recorded in the ledger") + (station->holding() ? " yet" : "") +
                   ": " + station->problem();
        return false;
    }

    // After the run: held rows tried again; false when a row is lost.
    bool settleHeld(OperationHost& host, std::ostream& err) {
        bool kept = true;
        for (auto& [slot, station] : stations_) {
            if (station->holding() && !SettleHeldRows(*station, host, err, kWho)) kept = false;
            if (station->refusedRows() > 0) kept = false;
        }
        return kept;
    }

  private:
    ledger::StationLedger* find(int slot) {
        const std::lock_guard<std::mutex> hold(lock_);
        const auto it = stations_.find(slot);
        return it == stations_.end() ? nullptr : it->second.get();
    }
    // Opened at the slot's first mouse, on that slot's worker.
    ledger::StationLedger& ledgerOf(int slot) {
        if (ledger::StationLedger* station = find(slot)) return *station;
        std::unique_ptr<ledger::StationLedger> opened = OpenStationLedger(choice_);
        const std::lock_guard<std::mutex> hold(lock_);
        return *(stations_[slot] = std::move(opened));
    }

    LedgerChoice choice_;
    const DeviceOptions& options_;
    std::string imageFile_;
    std::optional<ImageIdentity> image_;
    std::mutex lock_;
    std::map<int, std::unique_ptr<ledger::StationLedger>> stations_;
};

// The terminal's side: a line per finished mouse on out, the log row, what a slot's port
// is and numbers not written on err. The runner calls one method at a time.
class GangPrinter : public station::GangObserver {
  public:
    GangPrinter(const DeviceOptions& options, const RunOptions& run,
                const std::optional<ImageIdentity>& image, std::ostream& out, std::ostream& err)
        : options_(options), run_(run), image_(image), out_(out), err_(err) {}

    void attach(station::GangRunner& runner) { runner_ = &runner; }

    void slotAssigned(int slot, const std::string& port) override {
        if (!options_.quiet) err_ << kWho << ": slot " << slot << " is port " << port << "\n";
    }
    void portIgnored(const std::string& port) override {
        err_ << kWho << ": warning: a mouse on port " << port << " has no slot and is left alone\n";
    }
    void mouseFinished(const station::GangResult& r) override {
        out_ << FormatGangLine(r) << std::endl;
        if (!r.notRecorded.empty()) {
            err_ << kWho << ": slot " << r.slot << ": " << r.notRecorded
                 << "; no further mouse is taken\n";
            ledgerLost = true;
        }
        // A number taken is never given again: one the mouse did not receive is said.
        if (r.numberTaken && r.writtenNumber != r.numberTaken) {
            err_ << kWho << ": slot " << r.slot << ": SN " << HexFieldText(*r.numberTaken)
                 << " was taken but not written (" << r.text << ")"
                 << (r.recordSent ? "; the mouse may hold it" : "") << "\n";
        }
        DeviceOptions used = options_;
        used.factory = r.factory;
        if (!AppendCommandLog(
                run_.log,
                CommandLogEntry(Operation::Write, r.outcome, used, r.timing, r.writtenNumber,
                                image_,
                                r.opened ? std::nullopt : std::optional<std::string>(r.text)),
                err_)) {
            logLost = true;
            // A mouse the station cannot trace must not be followed by more of them.
            if (runner_ != nullptr) runner_->takeNoMore("a log line was lost");
        }
    }

    bool logLost = false;
    bool ledgerLost = false;

  private:
    const DeviceOptions& options_;
    const RunOptions& run_;
    std::optional<ImageIdentity> image_;
    std::ostream& out_;
    std::ostream& err_;
    station::GangRunner* runner_ = nullptr;
};

// A host's waits for several workers: one at a time.
class LockedWaits : public OperationHost {
  public:
    explicit LockedWaits(OperationHost& inner) : inner_(inner) {}
    void sleepMs(int ms) override {
        const std::lock_guard<std::mutex> hold(lock_);
        inner_.sleepMs(ms);
    }
    void delayUs(int us) override {
        const std::lock_guard<std::mutex> hold(lock_);
        inner_.delayUs(us);
    }

  private:
    OperationHost& inner_;
    std::mutex lock_;
};

// The totals: a line per slot, then the run's as `run` prints them.
void PrintTotals(const station::GangSummary& summary, std::ostream& out) {
    for (const station::SlotTotals& slot : summary.perSlot) {
        out << "slot " << slot.slot << "  port " << slot.port << "  total " << slot.mice
            << " passed " << slot.passes << " failed " << slot.mice - slot.passes << "\n";
    }
    out << "total " << summary.mice << " passed " << summary.passes << " failed "
        << summary.mice - summary.passes << std::endl;
}

}  // namespace

void ApplySlotsOption(const std::string& text, station::GangSettings& settings) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        const long n = text.size() > 3 ? kMaxGangSlots + 1 : std::stol(text);
        if (n < 1 || n > kMaxGangSlots) {
            throw OptionError("--slots: " + text + " is not 1 to " + std::to_string(kMaxGangSlots));
        }
        settings.maxSlots = static_cast<int>(n);
        return;
    }
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        const std::string port = text.substr(from, comma - from);
        if (port.empty()) throw OptionError("--slots: an empty port in '" + text + "'");
        for (const std::string& known : settings.ports) {
            if (known == port) throw OptionError("--slots: port " + port + " is named twice");
        }
        settings.ports.push_back(port);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (static_cast<int>(settings.ports.size()) > kMaxGangSlots)
        throw OptionError("--slots: more than " + std::to_string(kMaxGangSlots) + " ports");
}

std::string FormatGangLine(const station::GangResult& result) {
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1fs",
                  std::chrono::duration<double>(result.sincePlug).count());
    std::string line = "slot " + std::to_string(result.slot) + "  SN ";
    line += result.writtenNumber ? HexFieldText(*result.writtenNumber) : std::string("-");
    line += "  ";
    line += result.text;
    line += "  ";
    line += duration;
    return line;
}

int RunGang(const std::string& imageFile, const DeviceOptions& options, const RunOptions& run,
            PlatformStack& platforms, OperationHost& host, std::ostream& out, std::ostream& err,
            OperationHost* waits) {
    ControllerState state(platforms.platform());
    if (const auto code = LoadCommandImage(imageFile, options, state, out, err)) return *code;

    station::GangSettings settings;
    settings.ic = options.ic;
    settings.vid = options.vid;
    settings.pid = options.pid;
    settings.params = options.params;
    settings.factory = options.factory;
    settings.image = state.ImageBuffer;
    settings.imageType = state.LoadedImageType;
    settings.imageIdentity = state.LoadedImageIdentity;
    settings.count = run.count;
    try {
        if (!run.slots.empty()) ApplySlotsOption(run.slots, settings);
    } catch (const OptionError& e) {
        err << kWho << ": " << e.what() << "\n";
        return exitcode::Usage;
    }

    ledger::StationLedger* station = run.ledger.station;
    const bool numbered = station != nullptr && NumbersFromLedger(options);
    if (numbered) {
        // What an earlier stop of this station left is ended first, as `run` does.
        if (const auto code =
                StartNumbering(run.ledger, options, state, imageFile, host, err, kWho)) {
            return *code;
        }
        state.link.ForgetHandles();
    }
    station::CounterSerials counter(options.factory.number);
    std::optional<LedgerSerials> fromLedger;
    if (station != nullptr) {
        fromLedger.emplace(run.ledger.choice, options, imageFile, state.LoadedImageIdentity);
    }
    station::SerialSource& serials =
        fromLedger ? static_cast<station::SerialSource&>(*fromLedger) : counter;

    GangPrinter printer(options, run, state.LoadedImageIdentity, out, err);
    std::optional<LockedWaits> lockedWaits;
    if (waits != nullptr) lockedWaits.emplace(*waits);
    station::GangRunner runner(platforms.platform(), settings, serials, printer,
                               lockedWaits ? &*lockedWaits : nullptr);
    printer.attach(runner);
    const station::GangSummary summary = runner.run(host);

    PrintTotals(summary, out);
    if (!fromLedger && NumbersFromLedger(options) && !options.quiet) {
        err << kWho << ": the next product number is " << HexFieldText(counter.next()) << "\n";
    }
    const bool rowsLost = fromLedger && !fromLedger->settleHeld(host, err);
    if (!summary.refusal.empty()) {
        err << kWho << ": " << summary.refusal << "; nothing was written to this mouse\n";
        return rowsLost ? exitcode::NotLogged : exitcode::Usage;
    }
    if (printer.logLost || rowsLost) return exitcode::NotLogged;
    if (printer.ledgerLost) return exitcode::Usage;
    return summary.passes == summary.mice ? exitcode::Pass : exitcode::Fail;
}

}  // namespace bw
