#include "cli/device_commands.h"

#include "device/hex_text.h"
#include "frontend/command_image.h"
#include "frontend/command_log.h"
#include "frontend/hex_field_text.h"
#include "image/bin_file.h"
#include "image/factory_record.h"
#include "image/ic_types.h"
#include "image/image_identity.h"
#include "image/mouse_session.h"
#include "image/operations.h"
#include "image/write_image.h"
#include "ledger/ledger_error.h"
#include "os/utf8_path.h"
#include "production/lang.h"
#include "production/operation_log.h"
#include "production/polling.h"
#include "production/result_text.h"

namespace bw {
namespace {

// A list row's text; empty when no row is selected.
std::string RowText(int row, char first, int rows) {
    if (row < 0 || row >= rows) return "";
    return std::string(1, static_cast<char>(first + row));
}

// Says why no mouse was found when a matching interface exists but could not be opened.
void ExplainNoMouse(PlatformStack& platforms, const DeviceOptions& options, std::ostream& err) {
    HidPlatform& platform = platforms.platform();
    if (const std::string error = platform.serviceError(); !error.empty()) {
        err << "HID services unavailable: " << error << "\n";
        return;
    }
    for (const auto& info : platform.enumerate()) {
        if (info.vendorId != options.vid || info.productId != options.pid) continue;
        std::string reason;
        const HidHandle handle = platform.open(info.path, &reason);
        if (handle != kInvalidHandle) {
            platform.close(handle);
            continue;
        }
        err << OpenFailureText(info.path, reason.empty() ? "cannot be opened" : reason,
                               info.vendorId, !platforms.isSimulated(), info.productId)
            << "\n";
    }
}

void ExplainQuietEnd(Outcome outcome, std::ostream& err) {
    if (outcome == Outcome::NoAnswer) err << "the mouse did not answer\n";
    if (outcome == Outcome::BadStatus) err << "the mouse's status byte 1 is not 0xAA\n";
    if (outcome == Outcome::Aborted) err << "aborted by a second Ctrl-C; the exchange was closed\n";
}

Reason NoTargetReason(const DeviceOptions& options) {
    const IcType& row = *IcTypeAt(options.ic);
    return MakeReason(ReasonCode::NoTarget,
                      "no " + std::string(row.rowText) + " mouse " +
                          HexText(static_cast<std::uint32_t>(options.vid) & 0xFFFFu, 4) + ":" +
                          HexText(static_cast<std::uint32_t>(options.pid) & 0xFFFFu, 4) + " found",
                      {{"vid", options.vid}, {"pid", options.pid}});
}

// The operation's row in the ledger, if one is in use. False when it is not recorded (said
// on err with its product number, after the held row was tried again).
bool RecordInLedger(const CommandLedger& ledger, Operation op, Outcome outcome,
                    const DeviceOptions& used, const StationState& station,
                    const MouseSession& state, const std::string& file,
                    const OperationTiming& timing, const std::optional<std::string>& shown,
                    OperationHost& host, std::ostream& err, const std::string& who) {
    if (ledger.station == nullptr) return true;
    ledger::OperationFacts facts = CommandFacts(op, outcome, used, station, state, file, timing);
    facts.caption = shown;
    if (ledger.station->finish(ledger.station->row(facts), state.FactoryRecordSent)) return true;
    if (!ledger.station->holding()) {
        err << who << ": done, but not recorded in the ledger: " << ledger.station->problem()
            << "\n";
        return false;
    }
    return SettleHeldRows(*ledger.station, host, err, who);
}

}  // namespace

void PrintReason(const std::string& result, const Reason& reason, std::ostream& err) {
    if (reason.empty()) return;
    err << (result.empty() ? std::string("binwright") : result) << ": " << reason.text << "\n";
}

OperationReport MouseReport(const DeviceOptions& options, const std::string& imageFile,
                            const std::optional<ImageIdentity>& image, const Reason& reason) {
    OperationReport report;
    report.ic = options.ic;
    report.vid = options.vid;
    report.pid = options.pid;
    report.reason = reason;
    report.imageName = ImageName(imageFile);
    report.image = image;
    return report;
}

std::string FormatFactoryFields(const FactoryFields& f) {
    return "Product: " + HexFieldText(f.type) + "\n" + "Date: " + HexFieldText(f.date) + "\n" +
           "SN: " + HexFieldText(f.number) + "\n" + "Factory: " + RowText(f.factory, '1', 8) +
           "\n" + "Line: " + RowText(f.line, 'A', 26) + "\n" +
           "Station: " + RowText(f.station, '1', 8) + "\n";
}

int RunDeviceCommand(Operation op, const std::string& file, const DeviceOptions& options,
                     PlatformStack& platforms, OperationHost& host, std::ostream& out,
                     std::ostream& err, const ProductionLog& log, const CommandLedger& ledger,
                     OperationReport* report) {
    StationState station;
    MouseSession state(platforms.platform());
    const IcType& row = *IcTypeAt(options.ic);
    const LedgerStopGuard ledgerStops(ledger.station, host);
    OperationReport local;
    OperationReport& r = report != nullptr ? *report : local;
    r.op = op;
    r.ic = options.ic;
    r.vid = options.vid;
    r.pid = options.pid;
    // Ended before the mouse was touched: the code, and why for the JSON line.
    const auto refused = [&](int code, Reason reason) {
        r.reason = std::move(reason);
        r.exitCode = code;
        return code;
    };

    // Everything the operation needs is read and checked before the first device command.
    std::string saveTarget;
    if (op == Operation::Write || op == Operation::Verify) {
        Reason refusal;
        if (const auto code = LoadCommandImage(file, options, station, out, err, &refusal)) {
            return refused(*code, refusal);
        }
        station.handImageTo(state);
        r.imageName = ImageName(file);
        r.image = station.LoadedImageIdentity;
    } else if (op == Operation::Save) {
        saveTarget = SaveTargetName(file);
        if (const std::string problem = SaveTargetProblem(saveTarget); !problem.empty()) {
            err << problem << "\n";
            return refused(exitcode::Usage, MakeReason(ReasonCode::BadParameters, problem));
        }
    }
    if (op == Operation::Write) {
        const std::string problem = WriteParamsProblem(options.ic, options.params, options.factory);
        if (!problem.empty()) {
            err << "binwright write: " << problem << "\n";
            return refused(exitcode::Usage, MakeReason(ReasonCode::BadParameters, problem));
        }
    }
    if (op == Operation::Save || op == Operation::ReadFactory) {
        // The IC type given stands for the mouse expected; no image is involved.
        state.ImageType = std::string(row.rowText);
    }

    if (!OpenTarget(state, options.ic, options.vid, options.pid)) {
        const std::string shown(GetCaption(caption::NoFindMouse));
        out << shown << "\n";
        r.result = shown;
        const Reason reason = NoTargetReason(options);
        PrintReason(shown, reason, err);
        ExplainNoMouse(platforms, options, err);
        return refused(exitcode::NoMouse, reason);
    }
    r.path = state.link.OpenedPath;

    // A signal before the mouse was touched: nothing starts.
    if (StopAsked(host)) {
        err << "binwright: stopped before the operation started\n";
        return refused(exitcode::Fail,
                       MakeReason(ReasonCode::Interrupted, "stopped before the operation started"));
    }

    // With a ledger the factory record carries the number it gives, reserved before the
    // mouse is written; no number, no write.
    DeviceOptions used = options;
    if (ledger.station != nullptr && op == Operation::Write && NumbersFromLedger(options)) {
        std::string problem;
        if (const auto code = StartNumbering(ledger, options, station, state, file, host, err,
                                             "binwright write", nullptr, &problem)) {
            return refused(*code, NoNumberReason(problem));
        }
        try {
            used.factory.number = ledger.station->reserve(options.factory.type);
        } catch (const ledger::LedgerError& e) {
            err << "binwright write: " << e.what() << "; nothing was written to the mouse\n";
            return refused(exitcode::Usage, NoNumberReason(e.what()));
        }
        if (!options.quiet) {
            err << "binwright write: ledger: product number "
                << ledger::NumberOfType(*ledger.station->reservation()) << " for this mouse\n";
        }
        state.RecordGate = ledger.station;
    }

    const OperationTiming timing;
    r.started = timing.started;
    Outcome outcome = Outcome::Fail;
    switch (op) {
        case Operation::Write:
            outcome = WriteImage(state, used.ic, used.params, used.factory, host);
            break;
        case Operation::Verify:
            outcome = VerifyImage(state, options.ic, host);
            break;
        case Operation::Save:
            outcome = ReadDeviceImage(state, options.ic, host);
            break;
        case Operation::ReadFactory:
            outcome = ReadFactoryRecord(state, options.ic, host);
            break;
    }
    state.RecordGate = nullptr;
    host.hideLoading();
    r.attempts = op == Operation::Write ? state.WriteAttempts : 1;

    const std::optional<std::int32_t> number =
        op == Operation::Write ? WrittenProductNumber(state, used.factory) : std::nullopt;
    r.productNumber = number;
    // A save whose file could not be written shows its own caption and fails in the ledger.
    std::optional<std::string> shown;
    Outcome recorded = outcome;
    if (op == Operation::Save && outcome == Outcome::Pass) {
        std::string message;
        if (!SaveBinFile(saveTarget, state.DeviceImageBuffer, &message)) {
            err << message << "\n";
            shown = std::string(GetCaption(caption::SaveFail));
            recorded = Outcome::Fail;
            state.LastReason = MakeReason(ReasonCode::SaveFailed, message);
        } else {
            r.savedFile = saveTarget;
        }
    }

    r.reason = state.LastReason;
    const LogEntry entry =
        CommandLogEntry(op, outcome, options, timing, number,
                        shown ? std::nullopt : station.LoadedImageIdentity, shown, r.reason);
    r.durationMs = entry.durationMs;
    const bool logged = AppendCommandLog(log, entry, err);
    const bool inLedger =
        RecordInLedger(ledger, op, recorded, used, station, state, file, timing, shown, host, err,
                       "binwright " + std::string(OperationName(op)));

    if (shown) {
        out << *shown << "\n";
        r.result = *shown;
        PrintReason(*shown, r.reason, err);
        r.exitCode = logged && inLedger ? exitcode::Fail : exitcode::NotLogged;
        return r.exitCode;
    }
    const ResultView view = ViewOf(op, outcome, options.ic);
    if (!view.text.empty()) out << view.text << "\n";
    if (outcome == Outcome::Aborted) out << LogResultText(op, outcome, options.ic) << "\n";
    const std::string resultText = LogResultText(op, outcome, options.ic);
    if (!resultText.empty()) r.result = resultText;
    ExplainQuietEnd(outcome, err);
    PrintReason(resultText, r.reason, err);
    if (op == Operation::Save && outcome == Outcome::Pass) out << "saved " << saveTarget << "\n";
    if (op == Operation::ReadFactory && outcome == Outcome::Pass) {
        r.factory = DecodeFactoryRecord(state.FactoryRecord);
        out << FormatFactoryFields(*r.factory);
    }
    // The operation ran, but the station has no record of it.
    r.exitCode = logged && inLedger ? ExitCodeOf(outcome) : exitcode::NotLogged;
    return r.exitCode;
}

}  // namespace bw
