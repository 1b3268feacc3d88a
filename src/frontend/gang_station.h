#pragma once
// What both gang front ends (`binwright run --gang` and the window's station) build around
// the runner: its settings from the command's options and image, the serial source (a
// counter from --sn, or one ledger connection per slot), the log row and the warnings of
// every finished mouse, and the exit code at the end.

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "device/hid_platform.h"
#include "device/operation_host.h"
#include "frontend/device_options.h"
#include "frontend/run_options.h"
#include "ledger/call_wait.h"
#include "production/station_state.h"
#include "station/counter_serials.h"
#include "station/gang_runner.h"

namespace bw {

class LedgerSerials;
class LockedWaits;

class GangStation {
  public:
    // who prefixes what is said on err ("binwright run"). options and run must outlive the
    // station.
    GangStation(std::string imageFile, const DeviceOptions& options, const RunOptions& run,
                std::string who);
    ~GangStation();
    GangStation(const GangStation&) = delete;
    GangStation& operator=(const GangStation&) = delete;

    // Loads the image into the settings and reads --slots; touches no mouse. The exit code
    // (2) when the image cannot be used or --slots is wrong, the reason said on err and put
    // in refusal when given.
    std::optional<int> load(std::ostream& out, std::ostream& err, Reason* refusal = nullptr);
    // After load(): each port of a --slots list that no mouse can ever appear on
    // (HidPlatform::portProblem) is named in a warning on err: its slot would wait for ever.
    void warnMissingPorts(HidPlatform& platform, std::ostream& err) const;
    // When the ledger gives the numbers: what an earlier stop of this station left is ended
    // first, reading the mouse at hand as proof, as `run` does; a mouse so proven written is
    // not written again (GangSettings::held). Then the numbers come from one ledger
    // connection per slot. The exit code (2) when the ledger refuses.
    // problem, when given, receives the ledger's message of a refusal.
    std::optional<int> startNumbering(HidPlatform& platform, OperationHost& host, std::ostream& err,
                                      std::string* problem = nullptr);

    const station::GangSettings& settings() const { return settings_; }
    const std::string& imageFile() const { return imageFile_; }
    station::SerialSource& serials();
    // What the runner's workers wait on: null (the real clock) or, for a test's virtual
    // clock, `shared` behind a lock so the workers use it one at a time.
    OperationHost* waits(OperationHost* shared);
    // --ledger was given: numbers and rows go to the ledger.
    bool fromLedger() const;

    // The number the next numbered write would get: the counter's, or the ledger's through
    // the command's own connection (so only from one thread, and not during
    // startNumbering). None without the factory record or when the ledger cannot say.
    std::optional<std::int32_t> nextNumber();

    // Of each finished mouse, from the observer: its log row; on err the result the
    // ledger did not take and a number taken but not written. A lost log line makes the
    // runner take no further mouse. Called by one thread at a time (the runner's rule).
    // False when the log line was lost; durationMs, when given, receives the row's duration.
    bool recordFinished(const station::GangResult& result, station::GangRunner& runner,
                        std::ostream& err, std::int64_t* durationMs = nullptr);
    // Of a held mouse, from the observer: what the operator is to do with it, on err.
    void sayHeld(int slot, const station::HeldMouse& mouse, std::ostream& err) const;
    bool logLost() const { return logLost_; }
    bool ledgerLost() const { return ledgerLost_; }

    // After the run: rows the ledger held are tried again; the exit code of the run, as
    // RunAutomatic's (0 all passed, 1 a mouse failed, 2 a number refused or the ledger
    // gone, 6 a log line or a row lost).
    int finish(const station::GangSummary& summary, OperationHost& host, std::ostream& err);

  private:
    std::string imageFile_;
    const DeviceOptions& options_;
    const RunOptions& run_;
    std::string who_;
    StationState station_;  // the image as loaded
    station::GangSettings settings_;
    station::CounterSerials counter_;
    std::unique_ptr<LedgerSerials> ledger_;
    std::unique_ptr<LockedWaits> lockedWaits_;
    ledger::StopCheck stopCheck_;  // the front end's stop request, for the command's ledger
    bool logLost_ = false;
    bool ledgerLost_ = false;
};

}  // namespace bw
