#include "cli/command_ledger.h"

#include "image/factory_record.h"
#include "ledger/station_name.h"
#include "production/result_text.h"

namespace bw {

std::unique_ptr<ledger::StationLedger> OpenStationLedger(const LedgerChoice& choice) {
    const std::string name =
        choice.stationName.empty() ? ledger::DefaultStationName() : choice.stationName;
    return std::make_unique<ledger::StationLedger>(ledger::OpenLedger(choice.url), name);
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
        for (const std::string& line : stationLedger.recover([&](const ledger::SerialRow& sending) {
                 auto row = proof(sending);
                 if (row) proven = true;
                 return row;
             })) {
            err << who << ": ledger: " << line << "\n";
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
    for (int attempt = 0; attempt < kHeldRetries && station.holding() && !Aborting(host);
         ++attempt) {
        if (attempt > 0) {
            for (int ms = 0; ms < 1000 && !Aborting(host); ms += 50) host.sleepMs(50);
        }
        station.flush();
    }
    if (!station.holding()) return true;
    err << who << ": " << station.problem() << "\n";
    for (const std::string& line : station.heldRows()) err << who << ": " << line << "\n";
    return false;
}

}  // namespace bw
