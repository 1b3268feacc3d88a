// The device operations of the main window: write, verify, save and the factory
// read-back. Each reads its fields before the first device command, runs the shared
// operation and shows its outcome through the result table.

#include <stdexcept>
#include <string>

#include "image/bin_file.h"
#include "image/factory_record.h"
#include "image/operations.h"
#include "image/write_image.h"
#include "production/lang.h"
#include "window/main_window_model.h"

namespace bw::window {

namespace {

// The caption in the window's language for a text of the result table; texts
// outside the caption table stay as they are.
std::string LocalText(const std::string& text, std::uint8_t language) {
    for (const CaptionRow& row : CaptionTable) {
        if (row.text[0] == text) return std::string(GetCaption(row.index, language));
    }
    return text;
}

}  // namespace

WriteParams MainWindowModel::ReadWriteParams(int icIndex) const {
    WriteParams params;
    if (icIndex < 0 || icIndex > 2) return params;
    // The other IC types use only the retries and the data format.
    if (icIndex == 0) params.total = view_.GetValue(Control::edt_AllCnt);
    params.retries = view_.GetValue(Control::edt_RetryCnt);
    params.format = view_.Checked(Control::rb_CmdByte2K)    ? DataFormat::TwoK
                    : view_.Checked(Control::rb_CmdByte256) ? DataFormat::Block256
                                                            : DataFormat::None;
    params.blocks = view_.GetValue(Control::edt_Write256Count);
    if (icIndex == 0) {
        params.writeId = view_.Checked(Control::cb_WriteID);
        params.sleep = view_.GetValue(Control::edt_sleepTime);
    }
    return params;
}

FactoryFields MainWindowModel::ReadFactoryFields() const {
    FactoryFields fields;
    fields.type = view_.GetValue(Control::edt_FactoryType);
    fields.date = view_.GetValue(Control::edt_FactoryDate);
    fields.number = view_.GetValue(Control::edt_FactoryNum);
    fields.factory = view_.SelectedRow(Control::cb_Factory);
    fields.line = view_.SelectedRow(Control::cb_FactoryLine);
    fields.station = view_.SelectedRow(Control::cb_FactoryStation);
    return fields;
}

void MainWindowModel::SetFactoryFields(const FactoryFields& fields) {
    // A row the list does not have chooses none.
    const auto SetRow = [this](Control list, int row) { Set(list, {.selectedRow = row}); };
    view_.SetValue(Control::edt_FactoryType, fields.type);
    view_.SetValue(Control::edt_FactoryDate, fields.date);
    view_.SetValue(Control::edt_FactoryNum, fields.number);
    SetRow(Control::cb_Factory, fields.factory);
    SetRow(Control::cb_FactoryLine, fields.line);
    SetRow(Control::cb_FactoryStation, fields.station);
}

void MainWindowModel::ShowResult(const ResultView& view) {
    // The label takes the operation's own caption even where another label shows, so it never
    // keeps the text of the mouse before (the next arrival reads it).
    if (!view.caption.empty()) {
        ControlChange change{.text = LocalText(view.caption, UiLanguage),
                             .textColour = view.colour};
        if (view.pointSize > 0) change.fontPoints = view.pointSize;
        Set(Control::lbl_CtrlResult, change);
    }
    switch (view.place) {
        case ResultPlace::None:
            return;
        case ResultPlace::BinDevError:
            Show(Control::lbl_BINDevError, true);
            return;
        case ResultPlace::BinIcTypeError:
            Show(Control::lbl_BINICTypeError, true);
            return;
        case ResultPlace::CtrlResult:
            Show(Control::lbl_CtrlResult, true);
            return;
    }
}

void MainWindowModel::ShowReason(const Reason& reason) {
    Set(Control::lbl_CtrlResult, {.toolTip = reason.text});
    Set(Control::lbl_ResultReason, {.toolTip = reason.text});
    if (reason.empty()) {
        Show(Control::lbl_ResultReason, false);
        return;
    }
    // Whole and wrapped; the view cuts only a text longer than the two lines it has room for.
    Set(Control::lbl_ResultReason, {.text = reason.text, .visible = true});
}

std::string MainWindowModel::LogOperation(Operation op, Outcome outcome, int icIndex,
                                          std::optional<std::int32_t> productNumber,
                                          const OperationTiming& timing) {
    if (!productionLog.enabled()) return {};
    // A log that cannot be written does not turn a finished operation into a failure, but
    // it must not pass unnoticed either.
    // Only a write and a verify use the loaded image.
    const bool usesImage = op == Operation::Write || op == Operation::Verify;
    std::string reason;
    if (productionLog.append(
            MakeLogEntry(op, outcome, icIndex, openedVid_, openedPid_, productNumber, timing,
                         usesImage ? station.LoadedImageIdentity : std::nullopt, state.LastReason),
            &reason)) {
        return {};
    }
    return "Done, but not logged: " + reason;
}

void MainWindowModel::StopForLostLogLine(const std::string& reason) {
    // The next mouse waits for the operator: the error box's recovery starts polling again.
    view_.StopTimer();
    throw std::runtime_error(reason);
}

// Writes the loaded image. Every field is read before the mouse is touched, so a
// field that does not convert stops the write with the mouse untouched.
void MainWindowModel::btn_WriteClick() {
    OperationGuard operation(*this, Work::Write);
    const OperationTiming timing;
    const int ic = IcTypeIndex();
    // A write that never reaches the mouse still ends without its pass: "Write Fail" and why
    // replace the result of the mouse before (whose "Write Pass" would advance the next
    // mouse's number), and the error box says it too.
    const auto refused = [this, ic](ReasonCode code, const std::string& why) {
        state.LastReason = MakeReason(code, why);
        ShowResult(ShownView(Operation::Write, Outcome::Fail, ic));
        ShowReason(state.LastReason);
    };
    WriteParams params;
    FactoryFields factory;
    std::string problem;
    try {
        params = ReadWriteParams(ic);
        if (ic == 0 && params.writeId) factory = ReadFactoryFields();
        // Refused with the mouse untouched: no retry would make no attempt, and after FFFFFF
        // the automatic mode shows 1000000, a number never stored cut short.
        problem = WriteParamsProblem(ic, params, factory);
    } catch (const std::exception& e) {
        refused(ReasonCode::BadParameters, e.what());
        throw;
    }
    if (!problem.empty()) {
        refused(ReasonCode::BadParameters, problem);
        throw std::runtime_error(problem);
    }

    HoldForOperation();

    // With a ledger the record carries the number it reserves; no number, no write.
    const bool numbered = ledger_ != nullptr && ic == 0 && params.writeId;
    if (numbered) {
        try {
            factory.number = TakeLedgerNumber(ic, factory.type);
        } catch (const std::exception& e) {
            refused(ReasonCode::NoNumber, e.what());
            throw;
        }
    }
    const Outcome outcome = WriteImage(state, ic, params, factory, *this);
    station.countPass(outcome);
    if (outcome != Outcome::Skipped) station.rememberWritten(state.link);
    ShowResult(ShownView(Operation::Write, outcome, ic));
    ShowReason(state.LastReason);

    hideLoading();
    view_.StartTimer();
    SetText(Control::lbl_PassCnt, std::to_string(station.PassCount));
    processEvents();
    if (!view_.Checked(Control::cb_AutoRun)) SetOperationButtonsEnabled(true);
    processEvents();
    if (outcome != Outcome::Skipped) {
        const std::string notLogged = LogOperation(Operation::Write, outcome, ic,
                                                   WrittenProductNumber(state, factory), timing);
        const std::string notRecorded = RecordInLedger(
            Operation::Write, outcome, ic, numbered ? std::optional(factory) : std::nullopt,
            numbered ? WrittenProductNumber(state, factory) : std::nullopt, timing);
        if (!notLogged.empty() || !notRecorded.empty()) {
            StopForLostLogLine(notLogged.empty()     ? notRecorded
                               : notRecorded.empty() ? notLogged
                                                     : notLogged + "\n" + notRecorded);
        }
    }
    state.RecordGate = nullptr;
}

void MainWindowModel::HoldForOperation() {
    Show(Control::lbl_CtrlResult, false);
    Show(Control::lbl_ResultReason, false);
    view_.StopTimer();
    SetOperationButtonsEnabled(false);
}

void MainWindowModel::ReleaseAfterOperation() {
    hideLoading();
    processEvents();
    SetOperationButtonsEnabled(true);
    view_.StartTimer();
    processEvents();
}

void MainWindowModel::btn_VerifyClick() {
    OperationGuard operation(*this);
    const OperationTiming timing;
    const int ic = IcTypeIndex();
    HoldForOperation();

    const Outcome outcome = VerifyImage(state, ic, *this);
    ShowResult(ShownView(Operation::Verify, outcome, ic));
    ShowReason(state.LastReason);

    ReleaseAfterOperation();
    if (outcome != Outcome::Skipped) {
        const std::string notLogged =
            LogOperation(Operation::Verify, outcome, ic, std::nullopt, timing);
        const std::string notRecorded =
            RecordInLedger(Operation::Verify, outcome, ic, std::nullopt, std::nullopt, timing);
        if (!notLogged.empty() || !notRecorded.empty())
            StopForLostLogLine(notLogged.empty() ? notRecorded : notLogged);
    }
}

// Saves the mouse's memory into a BIN file. The file is written only when the whole
// memory was read, and atomically, so a failed save never leaves a misleading file.
void MainWindowModel::btn_SaveClick() {
    const std::optional<std::string> chosen = view_.ChooseSaveFile();
    if (!chosen || chosen->empty()) return;
    const std::string target = SaveTargetName(*chosen);
    const int ic = IcTypeIndex();
    // A target that cannot be written is said before the mouse is read; the result says
    // "Save Fail" and why, as for any save that ends without its pass.
    if (const std::string problem = SaveTargetProblem(target); !problem.empty()) {
        state.LastReason = MakeReason(ReasonCode::BadParameters, problem);
        ShowResult(ShownView(Operation::Save, Outcome::Fail, ic));
        ShowReason(state.LastReason);
        throw std::runtime_error(problem);
    }
    OperationGuard operation(*this);
    const OperationTiming timing;
    LockOperationControls();

    Outcome outcome = ReadDeviceImage(state, ic, *this);
    std::string failure;
    if (outcome == Outcome::Pass && !SaveBinFile(target, state.DeviceImageBuffer, &failure)) {
        outcome = Outcome::Fail;
        state.LastReason = MakeReason(ReasonCode::SaveFailed, failure);
    }
    ShowResult(ShownView(Operation::Save, outcome, ic));
    ShowReason(state.LastReason);

    hideLoading();
    processEvents();
    UnlockOperationControls();
    processEvents();
    std::string notLogged = outcome != Outcome::Skipped
                                ? LogOperation(Operation::Save, outcome, ic, std::nullopt, timing)
                                : std::string();
    const std::string notRecorded =
        RecordInLedger(Operation::Save, outcome, ic, std::nullopt, std::nullopt, timing);
    if (notLogged.empty()) notLogged = notRecorded;
    // The file could not be created: the error box says why.
    if (!failure.empty()) {
        throw std::runtime_error(notLogged.empty() ? failure : failure + "\n" + notLogged);
    }
    if (!notLogged.empty()) StopForLostLogLine(notLogged);
}

void MainWindowModel::btnReadFactoryClick() {
    OperationGuard operation(*this);
    const OperationTiming timing;
    const int ic = IcTypeIndex();
    HoldForOperation();

    const Outcome outcome = ReadFactoryRecord(state, ic, *this);
    if (outcome == Outcome::Pass) SetFactoryFields(DecodeFactoryRecord(state.FactoryRecord));
    ShowResult(ShownView(Operation::ReadFactory, outcome, ic));
    ShowReason(state.LastReason);

    ReleaseAfterOperation();
    const std::string notLogged =
        LogOperation(Operation::ReadFactory, outcome, ic, std::nullopt, timing);
    const std::string notRecorded = RecordInLedger(
        Operation::ReadFactory, outcome, ic,
        outcome == Outcome::Pass ? std::optional(DecodeFactoryRecord(state.FactoryRecord))
                                 : std::nullopt,
        std::nullopt, timing);
    if (!notLogged.empty() || !notRecorded.empty())
        StopForLostLogLine(notLogged.empty() ? notRecorded : notLogged);
}

}  // namespace bw::window
