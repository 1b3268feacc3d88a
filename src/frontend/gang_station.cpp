#include "frontend/gang_station.h"

#include <map>
#include <mutex>
#include <utility>

#include "frontend/command_image.h"
#include "frontend/command_ledger.h"
#include "frontend/command_log.h"
#include "frontend/hex_field_text.h"
#include "frontend/slots_option.h"
#include "image/factory_record.h"
#include "image/mouse_session.h"
#include "ledger/ledger_error.h"
#include "os/utf8_path.h"
#include "production/result_text.h"

namespace bw {

// Numbers and rows from the ledger: one StationLedger (one connection) per slot, because a
// Ledger is used from one thread and a StationLedger holds the reservation and the gate of
// one write at a time. Each slot's ledger is used only by that slot's worker, one mouse
// after the other; the map of them is under a lock.
class LedgerSerials : public station::SerialSource {
  public:
    // first: the command's own ledger, whose lease and spool the slots share.
    LedgerSerials(const LedgerChoice& choice, ledger::StationLedger& first,
                  const DeviceOptions& options, const std::string& imageFile,
                  const std::optional<ImageIdentity>& image, bool rewrite)
        : choice_(choice),
          first_(first),
          options_(options),
          imageFile_(imageFile),
          image_(image),
          rewrite_(rewrite) {}

    // A mouse that holds a number this ledger recorded as written gets no second one.
    station::MouseVerdict examine(int slot, MouseSession& state, OperationHost& host) override {
        station::MouseVerdict verdict;
        try {
            ledger::StationLedger& station = ledgerOf(slot, host);
            const LedgerStopGuard stops(&station, host);
            const MouseAtHand seen = ExamineMouseAtHand(station, state, options_, rewrite_, host);
            if (seen.kind == MouseAtHand::Kind::AlreadyWritten) {
                verdict.leftAlone = seen.shown;
                verdict.heldNumber = seen.number;
                verdict.reason = seen.reason;
            } else if (seen.kind == MouseAtHand::Kind::Rewrite) {
                verdict.keep = seen.number;
            }
        } catch (const ledger::LedgerError& e) {
            verdict.refusal = e.what();
        }
        return verdict;
    }

    // A slot's ledger waits end at the worker's stop request (the runner's, one at a time);
    // the gate of the write between take() and settle() waits under the same host.
    std::optional<std::int32_t> take(int slot, OperationHost& host, std::string* refusal) override {
        try {
            ledger::StationLedger& station = ledgerOf(slot, host);
            station.setStopCheck([&host] { return host.stopRequest(); });
            return station.reserve(options_.factory.type);
        } catch (const ledger::LedgerError& e) {
            *refusal = e.what();
            return std::nullopt;
        }
    }
    FactoryRecordGate* gate(int slot) override { return find(slot); }

    bool settle(int slot, const station::GangResult& result, OperationHost& host,
                std::string* problem) override {
        ledger::StationLedger* station = nullptr;
        try {
            station = &ledgerOf(slot, host);
        } catch (const ledger::LedgerError& e) {
            *problem = e.what();
            return false;
        }
        station->setStopCheck([&host] { return host.stopRequest(); });
        const bool recorded = record(*station, result);
        station->setStopCheck({});  // the worker's host ends with it
        if (!recorded) {
            const auto spool = station->spoolFolder();
            *problem = std::string("not recorded in the ledger") +
                       (station->holding() ? " yet" : "") + ": " + station->problem() +
                       (station->holding() && spool
                            ? "; kept in the spool " + Utf8FromPath(*spool) + " until it can be"
                            : std::string());
        }
        return recorded;
    }

    // After the run: held rows tried again; false when a row is lost.
    bool settleHeld(OperationHost& host, std::ostream& err, const std::string& who) {
        bool kept = true;
        for (auto& [slot, station] : stations_) {
            const LedgerStopGuard stops(station.get(), host);
            if (station->holding() && !SettleHeldRows(*station, host, err, who)) kept = false;
            if (station->refusedRows() > 0) kept = false;
        }
        return kept;
    }

  private:
    bool record(ledger::StationLedger& station, const station::GangResult& result) {
        ledger::OperationFacts facts;
        facts.op = result.leftAlone ? Operation::ReadFactory : Operation::Write;
        facts.outcome = result.leftAlone ? Outcome::Pass : result.outcome;
        facts.ic = options_.ic;
        facts.vid = options_.vid;
        facts.pid = options_.pid;
        facts.devicePath = result.devicePath;
        facts.imageFile = imageFile_;
        facts.image = image_;
        facts.timing = result.timing;
        if (result.leftAlone) {
            facts.imageFile.clear();
            facts.image.reset();
            facts.factory = result.factory;
            facts.reason = result.reason;
            return station.finish(LeftAloneRow(station, facts, result.text, result.reason), false);
        }
        if (NumbersFromLedger(options_)) {
            facts.factory = result.factory;
            facts.productNumber = result.writtenNumber;
        }
        if (!result.opened) facts.caption = result.text;
        facts.reason = result.reason;
        return station.finish(station.row(facts), result.recordSent);
    }

    ledger::StationLedger* find(int slot) {
        const std::lock_guard<std::mutex> hold(lock_);
        const auto it = stations_.find(slot);
        return it == stations_.end() ? nullptr : it->second.get();
    }
    // Opened at the slot's first mouse, on that slot's worker.
    ledger::StationLedger& ledgerOf(int slot, OperationHost& host) {
        if (ledger::StationLedger* station = find(slot)) return *station;
        std::unique_ptr<ledger::StationLedger> opened =
            OpenStationLedger(choice_, [&host] { return host.stopRequest(); });
        opened->joinStation(first_);
        const std::lock_guard<std::mutex> hold(lock_);
        return *(stations_[slot] = std::move(opened));
    }

    LedgerChoice choice_;
    ledger::StationLedger& first_;
    const DeviceOptions& options_;
    std::string imageFile_;
    std::optional<ImageIdentity> image_;
    bool rewrite_ = false;
    std::mutex lock_;
    std::map<int, std::unique_ptr<ledger::StationLedger>> stations_;
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

GangStation::GangStation(std::string imageFile, const DeviceOptions& options, const RunOptions& run,
                         std::string who)
    : imageFile_(std::move(imageFile)),
      options_(options),
      run_(run),
      who_(std::move(who)),
      counter_(options.factory.number) {}

GangStation::~GangStation() {
    if (run_.ledger.station != nullptr) run_.ledger.station->setStopCheck({});
}

std::optional<int> GangStation::load(std::ostream& out, std::ostream& err, Reason* refusal) {
    if (const auto code = LoadCommandImage(imageFile_, options_, station_, out, err, refusal))
        return *code;
    settings_.ic = options_.ic;
    settings_.vid = options_.vid;
    settings_.pid = options_.pid;
    settings_.params = options_.params;
    settings_.factory = options_.factory;
    settings_.image = station_.LoadedImage;
    settings_.imageType = station_.LoadedImageType;
    settings_.imageIdentity = station_.LoadedImageIdentity;
    settings_.count = run_.count;
    try {
        if (!run_.slotsText.empty()) ApplySlotsOption(run_.slotsText, settings_);
    } catch (const OptionError& e) {
        err << who_ << ": " << e.what() << "\n";
        if (refusal != nullptr) *refusal = MakeReason(ReasonCode::BadParameters, e.what());
        return exitcode::Usage;
    }
    return std::nullopt;
}

void GangStation::warnMissingPorts(HidPlatform& platform, std::ostream& err) const {
    for (std::size_t i = 0; i < settings_.ports.size(); ++i) {
        const std::string& port = settings_.ports[i];
        const std::string problem = platform.portProblem(port);
        if (problem.empty()) continue;
        err << who_ << ": warning: --slots: port " << port << ": " << problem << "; slot " << i + 1
            << " will stay empty\n";
    }
}

std::optional<int> GangStation::startNumbering(HidPlatform& platform, OperationHost& host,
                                               std::ostream& err, std::string* problem) {
    if (run_.ledger.station == nullptr) return std::nullopt;
    // The command's own connection waits under this host until the station ends.
    stopCheck_ = [&host] { return host.stopRequest(); };
    run_.ledger.station->setStopCheck(stopCheck_);
    if (!NumbersFromLedger(options_)) {
        if (const auto code = StartRecording(*run_.ledger.station, err, who_, problem))
            return *code;
    }
    if (NumbersFromLedger(options_)) {
        MouseSession state(platform);
        station_.handImageTo(state);
        bool proven = false;
        if (const auto code = StartNumbering(run_.ledger, options_, station_, state, imageFile_,
                                             host, err, who_, &proven, problem)) {
            return *code;
        }
        // The proof read this mouse's record: the runner leaves it alone (by port and path).
        if (proven && !state.link.OpenedPath.empty()) {
            station::HeldMouse held;
            held.path = state.link.OpenedPath;
            held.number = DecodeFactoryRecord(state.FactoryRecord).number;
            for (const HidInterfaceInfo& info : platform.enumerate()) {
                if (info.path == held.path) held.port = info.port;
            }
            if (!held.port.empty()) settings_.held.push_back(held);
        }
        state.link.ForgetHandles();
    }
    ledger_ =
        std::make_unique<LedgerSerials>(run_.ledger.choice, *run_.ledger.station, options_,
                                        imageFile_, settings_.imageIdentity, run_.ledger.rewrite);
    return std::nullopt;
}

station::SerialSource& GangStation::serials() {
    if (ledger_) return *ledger_;
    return counter_;
}

OperationHost* GangStation::waits(OperationHost* shared) {
    if (shared == nullptr) return nullptr;
    if (!lockedWaits_) lockedWaits_ = std::make_unique<LockedWaits>(*shared);
    return lockedWaits_.get();
}

bool GangStation::fromLedger() const {
    return run_.ledger.station != nullptr;
}

std::optional<std::int32_t> GangStation::nextNumber() {
    if (!NumbersFromLedger(options_)) return std::nullopt;
    if (run_.ledger.station == nullptr) return counter_.next();
    // Only a glance: a silent ledger holds neither the window's thread nor the run's end
    // longer than a second.
    ledger::Ledger& ledger = run_.ledger.station->ledger();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    ledger.setStopCheck([until] {
        return std::chrono::steady_clock::now() < until ? StopRequest::None : StopRequest::Abort;
    });
    std::optional<std::int32_t> next;
    try {
        next = ledger.nextNumber(options_.factory.type);
    } catch (const ledger::LedgerError&) {
    }
    ledger.setStopCheck(stopCheck_);
    return next;
}

void GangStation::sayHeld(int slot, const station::HeldMouse& mouse, std::ostream& err) const {
    err << who_ << ": slot " << slot << ": the mouse on port " << mouse.port << " holds SN "
        << ProductNumberText(mouse.number) << " from the interrupted run; unplug it\n";
}

bool GangStation::recordFinished(const station::GangResult& r, station::GangRunner& runner,
                                 std::ostream& err, std::int64_t* durationMs) {
    if (!r.notRecorded.empty()) {
        err << who_ << ": slot " << r.slot << ": " << r.notRecorded
            << "; no further mouse is taken\n";
        ledgerLost_ = true;
    }
    // A number taken is never given again: one the mouse did not receive is said.
    if (r.numberTaken && r.writtenNumber != r.numberTaken) {
        err << who_ << ": slot " << r.slot << ": SN " << ProductNumberText(*r.numberTaken)
            << " was taken but not written (" << r.text << ")"
            << (r.recordSent ? "; the mouse may hold it" : "") << "\n";
    }
    DeviceOptions used = options_;
    used.factory = r.factory;
    const LogEntry entry =
        r.leftAlone ? CommandLogEntry(Operation::ReadFactory, Outcome::Fail, used, r.timing,
                                      std::nullopt, std::nullopt, r.text, r.reason)
                    : CommandLogEntry(Operation::Write, r.outcome, used, r.timing, r.writtenNumber,
                                      settings_.imageIdentity,
                                      r.opened ? std::nullopt : std::optional<std::string>(r.text),
                                      r.reason);
    if (durationMs != nullptr) *durationMs = entry.durationMs;
    if (AppendCommandLog(run_.log, entry, err)) return true;
    logLost_ = true;
    // A mouse the station cannot trace must not be followed by more of them.
    runner.takeNoMore("a log line was lost");
    return false;
}

int GangStation::finish(const station::GangSummary& summary, OperationHost& host,
                        std::ostream& err) {
    const bool rowsLost = ledger_ && !ledger_->settleHeld(host, err, who_);
    if (!summary.refusal.empty()) {
        err << who_ << ": " << summary.refusal << "; nothing was written to this mouse\n";
        return rowsLost ? exitcode::NotLogged : exitcode::Usage;
    }
    if (logLost_ || rowsLost) return exitcode::NotLogged;
    if (ledgerLost_) return exitcode::Usage;
    return RunExitCode(summary.mice - summary.passes, summary.leftAlone);
}

}  // namespace bw
