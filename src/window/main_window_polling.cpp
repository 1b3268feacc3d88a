// Device polling and automatic mode of the main window: the poll tick applies the
// shared presence decision to the window's display and controls.

#include "production/lang.h"
#include "production/polling.h"
#include "window/main_window_model.h"

namespace bw::window {

// The window's side of one poll tick.
class MainWindowModel::PollHooks : public PollTickHooks {
  public:
    explicit PollHooks(MainWindowModel& model) : model_(model), view_(model.view_) {}

    int icTypeIndex() override { return model_.IcTypeIndex(); }
    std::int32_t vid() override { return model_.openedVid_ = view_.GetValue(Control::edt_VID); }
    std::int32_t pid() override { return model_.openedPid_ = view_.GetValue(Control::edt_PID); }
    std::int32_t settleMs() override { return view_.GetValue(Control::edt_sleepTime); }

    bool lastResultWasWritePass() override {
        return model_.ShownText(Control::lbl_CtrlResult) ==
               GetCaption(caption::WritePass, model_.UiLanguage);
    }
    void advanceProductNumber() override {
        // With a ledger the field shows what it gives next, whichever station took the last.
        if (model_.Ledger() != nullptr) {
            model_.ShowNextNumber();
            return;
        }
        view_.SetValue(Control::edt_FactoryNum,
                       NextProductNumber(view_.GetValue(Control::edt_FactoryNum)));
    }

    void deviceRemoved() override {
        model_.Show(Control::Img_Find, false);
        model_.Show(Control::Img_NoFind, true);
        model_.ShowDevStatus(caption::NoFindMouse);
        model_.LockOperationControls();
    }

    void deviceFound() override {
        model_.ShowDeviceFound();
        if (!model_.station.ImageLoaded) return;
        model_.SetLoadUsable(false);
        if (view_.Checked(Control::cb_AutoRun)) {
            model_.LockOperationControls();
            model_.btn_WriteClick();
        } else {
            model_.UnlockOperationControls();
        }
    }

    // The mouse written last came back into view: shown as ready, in automatic mode with the
    // controls kept locked, and not written again.
    void writtenMouseFound() override {
        model_.ShowDeviceFound();
        if (!model_.station.ImageLoaded) return;
        model_.SetLoadUsable(false);
        if (view_.Checked(Control::cb_AutoRun)) {
            model_.SetOperationButtonsEnabled(false);
            model_.SetParameterControlsEnabled(false);
        } else {
            model_.UnlockOperationControls();
        }
    }

  private:
    MainWindowModel& model_;
    MainWindowView& view_;
};

void MainWindowModel::DevTimerTimer() {
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
void MainWindowModel::cb_AutoRunClick() {
    if (OperationRunning()) {
        autoRunClicked_ = true;
        return;
    }
    if (!state.link.AnyDeviceOpen()) return;
    const bool automatic = view_.Checked(Control::cb_AutoRun);
    SetOperationButtonsEnabled(!automatic);
    SetParameterControlsEnabled(!automatic);
    if (automatic && !station.isWritten(state.link)) btn_WriteClick();
}

}  // namespace bw::window
