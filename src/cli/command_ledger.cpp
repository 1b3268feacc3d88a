#include "cli/command_ledger.h"

#include <chrono>

#include "image/factory_record.h"
#include "ledger/station_home.h"
#include "ledger/station_name.h"
#include "production/result_text.h"

namespace bw {

std::unique_ptr<ledger::StationLedger> OpenStationLedger(const LedgerChoice& choice,
                                                         const ledger::StopCheck& stop) {
    const std::string name =
        choice.stationName.empty() ? ledger::DefaultStationName() : choice.stationName;
    ledger::LedgerOptions options;
    options.stop = stop;
    auto station =
        std::make_unique<ledger::StationLedger>(ledger::OpenLedger(choice.url, options), name);
    const std::string url = choice.url;
    station->holdStation(
        [url](const ledger::StopCheck& check) {
            ledger::LedgerOptions own;
            own.stop = check;
            return ledger::OpenLedger(url, own);
        },
        ledger::StationDataFolder());
    return station;
}

LedgerStopGuard::LedgerStopGuard(ledger::StationLedger* station, OperationHost& host)
    : station_(station) {
    if (station_ != nullptr) station_->setStopCheck([&host] { return host.stopRequest(); });
}

LedgerStopGuard::~LedgerStopGuard() {
    if (station_ != nullptr) station_->setStopCheck({});
}

std::optional<int> StartRecording(ledger::StationLedger& station, std::ostream& err,
                                  const std::string& who, std::string* problem) {
    try {
        const auto say = [&](const std::string& line) {
            err << who << ": ledger: " << line << std::endl;
        };
        for (const std::string& line : station.start(say)) say(line);
        return std::nullopt;
    } catch (const ledger::LedgerError& e) {
        err << who << ": " << e.what() << "\n";
        if (problem != nullptr) *problem = e.what();
        return exitcode::Usage;
    }
}

bool NumbersFromLedger(const DeviceOptions& options) {
    return options.ic == 0 && options.params.writeId;
}

ledger::OperationFacts CommandFacts(Operation op, Outcome outcome, const DeviceOptions& options,
                                    const StationState& station, const MouseSession& state,
                                    const std::string& imageFile, const OperationTiming& timing) {
    ledger::OperationFacts facts;
    facts.op = op;
    facts.outcome = outcome;
    facts.ic = options.ic;
    facts.vid = options.vid;
    facts.pid = options.pid;
    facts.devicePath = state.link.OpenedPath;
    facts.timing = timing;
    facts.reason = state.LastReason;
    if (op == Operation::Write || op == Operation::Verify) {
        facts.imageFile = imageFile;
        facts.image = station.LoadedImageIdentity;
    }
    if (op == Operation::Write && NumbersFromLedger(options)) {
        facts.factory = options.factory;
        facts.productNumber = WrittenProductNumber(state, options.factory);
    }
    if (op == Operation::ReadFactory && outcome == Outcome::Pass) {
        facts.factory = DecodeFactoryRecord(state.FactoryRecord);
    }
    return facts;
}

std::optional<int> StartNumbering(const CommandLedger& ledger, const DeviceOptions& options,
                                  const StationState& station, MouseSession& state,
                                  const std::string& imageFile, OperationHost& host,
                                  std::ostream& err, const std::string& who, bool* provenWritten,
                                  std::string* problem) {
    ledger::StationLedger& stationLedger = *ledger.station;
    try {
        const ledger::OperationFacts target =
            CommandFacts(Operation::Write, Outcome::Pass, options, station, state, imageFile, {});
        bool proven = false;
        const ledger::WrittenProof proof =
            ledger::MouseAtHandProof(stationLedger, state, target, host);
        const auto say = [&](const std::string& line) {
            err << who << ": ledger: " << line << std::endl;
        };
        for (const std::string& line : stationLedger.recover(
                 [&](const ledger::SerialRow& sending) {
                     auto row = proof(sending);
                     if (row) proven = true;
                     return row;
                 },
                 say)) {
            say(line);
        }
        if (provenWritten != nullptr) *provenWritten = proven;
        if (ledger.firstNumberGiven) {
            stationLedger.ledger().setFirstNumber(options.factory.type, options.factory.number);
        }
        return std::nullopt;
    } catch (const ledger::LedgerError& e) {
        err << who << ": " << e.what() << "; nothing was written to the mouse\n";
        if (problem != nullptr) *problem = e.what();
        return exitcode::Usage;
    }
}

bool SettleHeldRows(ledger::StationLedger& station, OperationHost& host, std::ostream& err,
                    const std::string& who) {
    // After a stop request one try: a silent ledger gives up at once then, and the spool
    // keeps the rows for the next start. A silent server is not asked for long either.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kHeldRetrySeconds);
    for (int attempt = 0;
         attempt < kHeldRetries && station.holding() &&
         (attempt == 0 || (!StopAsked(host) && std::chrono::steady_clock::now() < until));
         ++attempt) {
        if (attempt > 0) {
            for (int ms = 0; ms < 1000 && !StopAsked(host); ms += 50) host.sleepMs(50);
        }
        station.flush();
    }
    if (!station.holding()) return true;
    err << who << ": " << station.problem() << "\n";
    for (const std::string& line : station.heldRows()) err << who << ": " << line << "\n";
    if (const auto spool = station.spoolFolder()) {
        err << who << ": the spool " << spool->string()
            << " keeps them; they go to the ledger first at this station's next start\n";
    }
    return false;
}

}  // namespace bw
