#include "frontend/command_ledger.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "frontend/hex_field_text.h"
#include "image/factory_record.h"
#include "ledger/station_home.h"
#include "ledger/station_name.h"
#include "os/utf8_path.h"
#include "production/result_text.h"

namespace bw {

std::string StationNameProblem(const std::string& name) {
    if (name.empty()) return "is empty";
    if (name.size() > kMaxStationName)
        return "is " + std::to_string(name.size()) + " bytes long, more than " +
               std::to_string(kMaxStationName);
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return "holds a control character";
    }
    return {};
}

std::unique_ptr<ledger::StationLedger> OpenStationLedger(const LedgerChoice& choice,
                                                         const ledger::StopCheck& stop) {
    const std::string name =
        choice.stationName.empty() ? ledger::DefaultStationName() : choice.stationName;
    if (const std::string problem = StationNameProblem(name); !problem.empty()) {
        throw ledger::LedgerError(ledger::LedgerErrorKind::Invalid,
                                  "--station-name: the station name " + problem);
    }
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

bool ChooseStationLedger(LedgerChoice& choice, const std::string& who, std::ostream& err) {
    if (!choice.url.empty()) return true;
    if (choice.none) {
        err << who << ": warning: --no-ledger: product numbers are kept nowhere; every start"
            << " begins again at --sn, so a restart gives numbers that mice already hold\n";
        return true;
    }
    if (!ledger::LedgerBackendsBuiltIn()) {
        err << who << ": this build of binwright has no ledger to keep the product numbers in"
            << " (it is built without SQLite and PostgreSQL): give --no-ledger to write them"
            << " without one\n";
        return false;
    }
    const std::optional<std::filesystem::path> path = ledger::DefaultLedgerPath();
    if (!path) {
        err << who << ": no folder for the default ledger (neither XDG_DATA_HOME nor HOME is"
            << " set): name one with --ledger FILE, or run without one with --no-ledger\n";
        return false;
    }
    std::error_code failed;
    std::filesystem::create_directories(path->parent_path(), failed);
    if (failed) {
        err << who << ": the folder of the default ledger " << Utf8FromPath(path->parent_path())
            << " cannot be made: " << failed.message() << "\n";
        return false;
    }
    choice.url = Utf8FromPath(*path);
    err << who << ": ledger: " << choice.url
        << " (the default; --ledger names another, --no-ledger runs without)\n";
    return true;
}

ledger::OperationRecord LeftAloneRow(const ledger::StationLedger& station,
                                     const ledger::OperationFacts& facts, const std::string& shown,
                                     const Reason& reason) {
    ledger::OperationRecord row = station.row(facts);
    row.passed = false;
    row.result = shown;
    row.caption = shown;
    row.reason = reason.codeName();
    return row;
}

MouseAtHand ExamineMouseAtHand(ledger::StationLedger& station, MouseSession& state,
                               const DeviceOptions& options, bool rewrite, OperationHost& host) {
    MouseAtHand seen;
    if (ReadFactoryRecord(state, options.ic, host) != Outcome::Pass) return seen;
    const FactoryFields held = DecodeFactoryRecord(state.FactoryRecord);
    if (held.type != options.factory.type) return seen;
    const std::optional<ledger::SerialRow> row =
        station.ledger().serial(options.factory.type, held.number);
    if (!row || row->state != ledger::SerialState::Written) return seen;
    seen.number = held.number;
    if (rewrite) {
        station.rewrite(held.type, held.number);
        seen.kind = MouseAtHand::Kind::Rewrite;
        return seen;
    }
    seen.kind = MouseAtHand::Kind::AlreadyWritten;
    seen.shown = "Already written (SN " + ProductNumberText(held.number) + ")";
    seen.reason = MakeReason(
        ReasonCode::AlreadyWritten,
        "the mouse holds product number " + ledger::NumberText(held.number) + " of type " +
            ledger::TypeText(held.type) + ", written by station " + row->station + " at " +
            row->changedAt + "; unplug it, or give --rewrite to write it again with that number",
        {{"product_type", std::int64_t{held.type}},
         {"number", std::int64_t{held.number}},
         {"station", row->station}});
    return seen;
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
            try {
                stationLedger.ledger().setFirstNumber(options.factory.type, options.factory.number);
            } catch (const ledger::LedgerError& e) {
                // A config's `sn` is the first number of a new type only; on the command
                // line a number the ledger would not give next is refused.
                if (!ledger.firstNumberFromConfig || e.kind() != ledger::LedgerErrorKind::Refused)
                    throw;
                const std::optional<std::int32_t> next =
                    stationLedger.ledger().nextNumber(options.factory.type);
                err << who << ": warning: " << ledger.configWhere
                    << "sn = " << ledger::NumberText(options.factory.number) << " is ignored: type "
                    << ledger::TypeText(options.factory.type)
                    << " has numbers in the ledger already"
                    << (next ? ", it goes on at " + ledger::NumberText(*next)
                             : std::string(" and none is left"))
                    << "\n";
            }
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
        err << who << ": the spool " << Utf8FromPath(*spool)
            << " keeps them; they go to the ledger first at this station's next start\n";
    }
    return false;
}

}  // namespace bw
