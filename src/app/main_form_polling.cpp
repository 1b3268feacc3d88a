// Device polling and automatic mode of the main window: the poll tick applies the
// shared presence decision to the window's display and controls.

#include "app/main_form.h"
#include "production/lang.h"
#include "production/polling.h"

namespace bw {

namespace {

QString Caption(std::uint8_t index, std::uint8_t language) {
    const std::string_view text = GetCaption(index, language);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// The window's side of one poll tick.
class TForm1::PollHooks : public PollTickHooks {
  public:
    explicit PollHooks(TForm1& form) : form_(form) {}

    int icTypeIndex() override { return form_.IcTypeIndex(); }
    std::int32_t vid() override { return form_.openedVid_ = form_.edt_VID->GetValue(); }
    std::int32_t pid() override { return form_.openedPid_ = form_.edt_PID->GetValue(); }
    std::int32_t settleMs() override { return form_.edt_sleepTime->GetValue(); }

    bool lastResultWasWritePass() override {
        return form_.lbl_CtrlResult->text() == Caption(caption::WritePass, form_.UiLanguage);
    }
    void advanceProductNumber() override {
        // With a ledger the field shows what it gives next, whichever station took the last.
        if (form_.Ledger() != nullptr) {
            form_.ShowNextNumber();
            return;
        }
        form_.edt_FactoryNum->SetValue(NextProductNumber(form_.edt_FactoryNum->GetValue()));
    }

    void deviceRemoved() override {
        form_.Img_Find->hide();
        form_.Img_NoFind->show();
        form_.ShowDevStatus(caption::NoFindMouse);
        form_.LockOperationControls();
    }

    void deviceFound() override {
        form_.ShowDeviceFound();
        if (!form_.station.ImageLoaded) return;
        form_.SetLoadUsable(false);
        if (form_.cb_AutoRun->isChecked()) {
            form_.LockOperationControls();
            form_.btn_WriteClick();
        } else {
            form_.UnlockOperationControls();
        }
    }

    // The mouse written last came back into view: shown as ready, in automatic mode with the
    // controls kept locked, and not written again.
    void writtenMouseFound() override {
        form_.ShowDeviceFound();
        if (!form_.station.ImageLoaded) return;
        form_.SetLoadUsable(false);
        if (form_.cb_AutoRun->isChecked()) {
            for (QWidget* control : form_.OperationButtons()) form_.SetUsable(control, false);
            for (QWidget* control : form_.ParameterControls()) form_.SetUsable(control, false);
        } else {
            form_.UnlockOperationControls();
        }
    }

  private:
    TForm1& form_;
};

void TForm1::DevTimerTimer() {
    // A save keeps the timer running, and any operation lets ticks in while it pumps
    // events: such a tick must touch no device (an open's probes would take a piece of
    // the read) and switch no control. It counts nothing either, so the first tick after
    // the operation sees the change.
    if (DeviceOperationRunning()) return;
    // A close request during the tick (settle wait, automatic write) waits for its end.
    OperationGuard operation(*this, Work::PollTick);
    PollHooks hooks(*this);
    RunPollTick(station, state, hooks, *this);
}

// Automatic mode switched. With a mouse open, checking it writes that mouse at once, unless
// it is the mouse written last (still plugged in). Switched while an operation runs, the box
// keeps its new state, which takes effect when the operation has ended.
void TForm1::cb_AutoRunClick() {
    if (OperationRunning()) {
        autoRunClicked_ = true;
        return;
    }
    if (!state.link.AnyDeviceOpen()) return;
    const bool automatic = cb_AutoRun->isChecked();
    for (QWidget* control : OperationButtons()) SetUsable(control, !automatic);
    for (QWidget* control : ParameterControls()) SetUsable(control, !automatic);
    if (automatic && !station.isWritten(state.link)) btn_WriteClick();
}

}  // namespace bw
