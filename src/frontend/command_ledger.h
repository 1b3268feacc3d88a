#pragma once
// The production ledger of a device command or `run` (--ledger URL, --station-name NAME),
// which the windows open the same way: opened before the mouse is touched, one row per
// operation, product numbers for writes with the factory record, and what it did said on
// stderr.

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "device/operation_host.h"
#include "frontend/device_options.h"
#include "image/mouse_session.h"
#include "ledger/station_ledger.h"
#include "production/station_state.h"

namespace bw {

struct LedgerChoice {
    std::string url;          // --ledger; empty: no ledger
    std::string stationName;  // --station-name; empty: the host name
    bool none = false;        // --no-ledger: no default ledger either
};

// The ledger as a command uses it; a null station: no ledger, everything as without one.
struct CommandLedger {
    ledger::StationLedger* station = nullptr;
    bool firstNumberGiven = false;  // --sn was given: it sets the first number of the type
    // ... by a station config's `sn` rather than on the command line: on a type that has
    // numbers already it is ignored with a warning instead of refused.
    bool firstNumberFromConfig = false;
    std::string configWhere;  // "FILE:LINE: " of that `sn`
    bool rewrite = false;     // --rewrite: a mouse that holds a written number is written again
    LedgerChoice choice;      // what opened it (`run --gang` opens one more per slot)
};

// A station that writes the factory record (`run`, `run --gang`, the gang window) without
// --ledger: the default ledger (ledger/station_home.h), its folder created, named on err;
// with --no-ledger none, and a warning on err that numbers then start again at --sn on
// every start. False, with the reason on err, when the default ledger has no folder or the
// folder cannot be made. who: "binwright run".
bool ChooseStationLedger(LedgerChoice& choice, const std::string& who, std::ostream& err);

// Empty when `name` may name a station in the ledger; else why not (control characters,
// longer than kMaxStationName bytes, empty).
inline constexpr std::size_t kMaxStationName = 64;
std::string StationNameProblem(const std::string& name);

// Throws ledger::LedgerError when the ledger cannot be opened. The station's lease takes a
// connection of its own when it starts; its spool lives in the station's data folder.
// stop cuts the connect short.
std::unique_ptr<ledger::StationLedger> OpenStationLedger(const LedgerChoice& choice,
                                                         const ledger::StopCheck& stop = {});

// While it lives, every wait of the station's ledger ends at the host's stop request
// (within a second and a half of a Finish, at once after an Abort). station may be null.
class LedgerStopGuard {
  public:
    LedgerStopGuard(ledger::StationLedger* station, OperationHost& host);
    ~LedgerStopGuard();
    LedgerStopGuard(const LedgerStopGuard&) = delete;
    LedgerStopGuard& operator=(const LedgerStopGuard&) = delete;

  private:
    ledger::StationLedger* station_;
};

// A station that records without numbering (`run` without the factory record): its lease
// is claimed and its spool handed to the ledger, said on err. The exit code (2) when the
// name runs elsewhere or the ledger fails; *problem receives its message.
std::optional<int> StartRecording(ledger::StationLedger& station, std::ostream& err,
                                  const std::string& who, std::string* problem = nullptr);

// The ledger gives the product numbers: a write with the factory record (first IC type).
bool NumbersFromLedger(const DeviceOptions& options);

// What the ledger needs of an operation the command ran on the mouse opened in state, with
// the image the station loaded.
ledger::OperationFacts CommandFacts(Operation op, Outcome outcome, const DeviceOptions& options,
                                    const StationState& station, const MouseSession& state,
                                    const std::string& imageFile, const OperationTiming& timing);

// Before the first numbered write: the station's dangling reservations are ended (the mouse
// at hand proving a number sent), then --sn sets the type's first number. Says what it did
// on err, "<who>: ledger: ...". Returns the exit code (2) when the ledger refuses or fails;
// *provenWritten is set when the mouse at hand was found to hold its number; *problem, when
// given, receives the ledger's message of a failure.
std::optional<int> StartNumbering(const CommandLedger& ledger, const DeviceOptions& options,
                                  const StationState& station, MouseSession& state,
                                  const std::string& imageFile, OperationHost& host,
                                  std::ostream& err, const std::string& who,
                                  bool* provenWritten = nullptr, std::string* problem = nullptr);

// A mouse about to get a number, read first: when its factory record holds a number of the
// same product type that this ledger recorded as written, it is not given another. It is
// left alone, or with --rewrite written again with that number (the ledger takes the
// number again: StationLedger::rewrite). A mouse whose record cannot be read is new (the
// write finds its fault). Throws ledger::LedgerError when the ledger cannot answer.
struct MouseAtHand {
    enum class Kind { New, AlreadyWritten, Rewrite };
    Kind kind = Kind::New;
    std::int32_t number = 0;  // the number it holds (AlreadyWritten, Rewrite)
    std::string shown;        // AlreadyWritten: "Already written (SN 1A)"
    Reason reason;            // AlreadyWritten: already-written, with the row's facts
};
// The ledger row of a mouse left alone: the read of its factory record (facts of a passing
// read-factory), not passed, with the result shown and why.
ledger::OperationRecord LeftAloneRow(const ledger::StationLedger& station,
                                     const ledger::OperationFacts& facts, const std::string& shown,
                                     const Reason& reason);
MouseAtHand ExamineMouseAtHand(ledger::StationLedger& station, MouseSession& state,
                               const DeviceOptions& options, bool rewrite, OperationHost& host);

// At the end of a command: rows the ledger could not take are tried again, a second apart,
// up to kHeldRetries times within kHeldRetrySeconds (once only after a stop request); what
// is still held is said on err with its product number and where the spool keeps it. False
// when a row is not in the ledger.
inline constexpr int kHeldRetries = 10;
inline constexpr int kHeldRetrySeconds = 15;
bool SettleHeldRows(ledger::StationLedger& station, OperationHost& host, std::ostream& err,
                    const std::string& who);

}  // namespace bw
