// The device operations of the main window: write, verify, save and the factory
// read-back. Each reads its fields before the first device command, runs the shared
// operation and shows its outcome through the result table.

#include <QFontMetrics>
#include <stdexcept>

#include "app/main_form.h"
#include "image/bin_file.h"
#include "image/factory_record.h"
#include "image/operations.h"
#include "image/write_image.h"
#include "production/lang.h"

namespace bw {

namespace {

// The caption in the window's language for a text of the result table; texts
// outside the caption table stay as they are.
QString LocalText(const std::string& text, std::uint8_t language) {
    for (const CaptionRow& row : CaptionTable) {
        if (row.text[0] == text) {
            const std::string_view local = GetCaption(row.index, language);
            return QString::fromUtf8(local.data(), static_cast<qsizetype>(local.size()));
        }
    }
    return QString::fromStdString(text);
}

// Selected row of a list whose text the operator may edit; -1 when none matches.
int RowIndex(const QComboBox* list) {
    const int index = list->currentIndex();
    if (index >= 0 && list->itemText(index) == list->currentText()) return index;
    return list->findText(list->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void SetRow(QComboBox* list, int row) {
    list->setCurrentIndex(row >= 0 && row < list->count() ? row : -1);
}

}  // namespace

WriteParams TForm1::ReadWriteParams(int icIndex) const {
    WriteParams params;
    if (icIndex < 0 || icIndex > 2) return params;
    // The other IC types use only the retries and the data format.
    if (icIndex == 0) params.total = edt_AllCnt->GetValue();
    params.retries = edt_RetryCnt->GetValue();
    params.format = rb_CmdByte2K->isChecked()    ? DataFormat::TwoK
                    : rb_CmdByte256->isChecked() ? DataFormat::Block256
                                                 : DataFormat::None;
    params.blocks = edt_Write256Count->GetValue();
    if (icIndex == 0) {
        params.writeId = cb_WriteID->isChecked();
        params.sleep = edt_sleepTime->GetValue();
    }
    return params;
}

FactoryFields TForm1::ReadFactoryFields() const {
    FactoryFields fields;
    fields.type = edt_FactoryType->GetValue();
    fields.date = edt_FactoryDate->GetValue();
    fields.number = edt_FactoryNum->GetValue();
    fields.factory = RowIndex(cb_Factory);
    fields.line = RowIndex(cb_FactoryLine);
    fields.station = RowIndex(cb_FactoryStation);
    return fields;
}

void TForm1::SetFactoryFields(const FactoryFields& fields) {
    edt_FactoryType->SetValue(fields.type);
    edt_FactoryDate->SetValue(fields.date);
    edt_FactoryNum->SetValue(fields.number);
    SetRow(cb_Factory, fields.factory);
    SetRow(cb_FactoryLine, fields.line);
    SetRow(cb_FactoryStation, fields.station);
}

void TForm1::ShowResult(const ResultView& view) {
    // The label takes the operation's own caption even where another label shows, so it never
    // keeps the text of the mouse before (the next arrival reads it).
    if (!view.caption.empty()) {
        lbl_CtrlResult->setText(LocalText(view.caption, UiLanguage));
        QPalette palette = lbl_CtrlResult->palette();
        palette.setColor(QPalette::WindowText, QColor(view.colour.r, view.colour.g, view.colour.b));
        lbl_CtrlResult->setPalette(palette);
        if (view.pointSize > 0) {
            QFont font = lbl_CtrlResult->font();
            font.setPointSize(view.pointSize);
            lbl_CtrlResult->setFont(font);
        }
    }
    switch (view.place) {
        case ResultPlace::None:
            return;
        case ResultPlace::BinDevError:
            lbl_BINDevError->show();
            return;
        case ResultPlace::BinIcTypeError:
            lbl_BINICTypeError->show();
            return;
        case ResultPlace::CtrlResult:
            lbl_CtrlResult->show();
            return;
    }
}

void TForm1::ShowReason(const Reason& reason) {
    const QString text = QString::fromStdString(reason.text);
    lbl_CtrlResult->setToolTip(text);
    lbl_ResultReason->setToolTip(text);
    if (reason.empty()) {
        lbl_ResultReason->hide();
        return;
    }
    // Whole, wrapped; only a text longer than the two lines there is room for is cut.
    lbl_ResultReason->setText(text);
    if (lbl_ResultReason->heightForWidth(lbl_ResultReason->width()) > lbl_ResultReason->height()) {
        const QFontMetrics metrics(lbl_ResultReason->font());
        lbl_ResultReason->setText(
            metrics.elidedText(text, Qt::ElideRight, 2 * lbl_ResultReason->width() - 40));
    }
    lbl_ResultReason->show();
}

void TForm1::SetOperationButtonsEnabled(bool enabled) {
    for (QWidget* button : OperationButtons()) SetUsable(button, enabled);
}

std::string TForm1::LogOperation(Operation op, Outcome outcome, int icIndex,
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

void TForm1::StopForLostLogLine(const std::string& reason) {
    // The next mouse waits for the operator: the error box's recovery starts polling again.
    DevTimer->stop();
    throw std::runtime_error(reason);
}

// Writes the loaded image. Every field is read before the mouse is touched, so a
// field that does not convert stops the write with the mouse untouched.
void TForm1::btn_WriteClick() {
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

    lbl_CtrlResult->hide();
    lbl_ResultReason->hide();
    DevTimer->stop();
    SetOperationButtonsEnabled(false);

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
    DevTimer->start();
    lbl_PassCnt->setText(QString::number(station.PassCount));
    processEvents();
    if (!cb_AutoRun->isChecked()) SetOperationButtonsEnabled(true);
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

void TForm1::btn_VerifyClick() {
    OperationGuard operation(*this);
    const OperationTiming timing;
    const int ic = IcTypeIndex();
    lbl_CtrlResult->hide();
    lbl_ResultReason->hide();
    DevTimer->stop();
    SetOperationButtonsEnabled(false);

    const Outcome outcome = VerifyImage(state, ic, *this);
    ShowResult(ShownView(Operation::Verify, outcome, ic));
    ShowReason(state.LastReason);

    hideLoading();
    processEvents();
    SetOperationButtonsEnabled(true);
    DevTimer->start();
    processEvents();
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
void TForm1::btn_SaveClick() {
    const QString chosen = chooseSaveFile ? chooseSaveFile() : SaveDialog1.GetSaveFileName(this);
    if (chosen.isEmpty()) return;
    const std::string target = SaveTargetName(chosen.toStdString());
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

void TForm1::btnReadFactoryClick() {
    OperationGuard operation(*this);
    const OperationTiming timing;
    const int ic = IcTypeIndex();
    lbl_CtrlResult->hide();
    lbl_ResultReason->hide();
    DevTimer->stop();
    SetOperationButtonsEnabled(false);

    const Outcome outcome = ReadFactoryRecord(state, ic, *this);
    if (outcome == Outcome::Pass) SetFactoryFields(DecodeFactoryRecord(state.FactoryRecord));
    ShowResult(ShownView(Operation::ReadFactory, outcome, ic));
    ShowReason(state.LastReason);

    hideLoading();
    processEvents();
    SetOperationButtonsEnabled(true);
    DevTimer->start();
    processEvents();
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

}  // namespace bw
