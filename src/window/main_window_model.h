#pragma once
// The main window's behaviour, toolkit-free: the handlers of every control, the state of
// every control as the window last set it, the station's state across mice and the rules
// that keep one operation at a time. A view (Qt or Win32) makes the controls, reports their
// events here and applies the control changes this sends it.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "device/hid_platform.h"
#include "device/operation_host.h"
#include "image/image_identity.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "image/write_params.h"
#include "ledger/station_ledger.h"
#include "production/operation_log.h"
#include "production/production_log.h"
#include "production/result_text.h"
#include "production/station_state.h"
#include "window/handler_guard.h"
#include "window/main_window_view.h"

namespace bw::window {

class MainWindowModel : public MainWindowEvents, public OperationHost {
  public:
    // Takes the view's events from now on. The view starts in the design state (the
    // controls' design texts, limits and initial states) and outlives the model.
    MainWindowModel(HidPlatform& platform, MainWindowView& view);
    ~MainWindowModel() override;
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    MouseSession state;    // the mouse at hand
    StationState station;  // the loaded image, pass count, poll tick and identity lock
    // Column of the caption table in use; set at creation.
    std::uint8_t UiLanguage = 0;
    // The BIN file chosen, whole (the view may show it shortened).
    std::string BinFilePath;
    // One line per device operation when a file is named (--log FILE).
    ProductionLog productionLog;
    // --expect-sha256: only this image is loaded; any other is refused in the error box.
    std::optional<Sha256> approvedSha256;

    // --ledger: every operation is recorded and writes with the factory record take their
    // product number from it; the number field is then read-only and shows the next number.
    // Owned by the caller, who outlives the model.
    void UseLedger(ledger::StationLedger* station);
    ledger::StationLedger* Ledger() const { return ledger_; }
    // The number field follows what the ledger gives next for the type in its field.
    void ShowNextNumber();
    // Waits go through this clock when set (tests); otherwise they really wait.
    void SetClock(OperationHost* clock) { clock_ = clock; }

    MainWindowView& View() const { return view_; }
    // A control's state as the window last set it (the design state where it never did).
    const ControlChange& Applied(Control control) const {
        return applied_[static_cast<std::size_t>(control)];
    }
    bool Enabled(Control control) const { return Applied(control).enabled.value_or(true); }
    bool Shown(Control control) const { return Applied(control).visible.value_or(true); }
    const std::string& ShownText(Control control) const;

    // MainWindowEvents: every event runs its handler through the handler guard.
    void OnEvent(Control control, Event event) override;
    // FormCloseQuery: forget the device handles and close, unless an operation runs.
    bool OnCloseQuery() override;

    // Creation handler, run once the view's controls are in their design state. The
    // language follows a Windows locale identifier.
    void FormCreate(std::uint32_t localeId);
    void SelectUiLanguage(std::uint32_t localeId);
    void ApplyCaptions();

    // Selected row of cb_ICType; -1 when its text is not one of the rows.
    int IcTypeIndex() const;

    // What holds the window open until it ends: a poll tick, or a device operation.
    // While a device operation runs no poll tick touches a device, and btn_Load is off.
    enum class Work { PollTick, Write, DeviceOperation };

    // Work brackets itself with these (or OperationGuard); a close request that
    // arrives meanwhile is carried out when the last one ends.
    void BeginOperation(Work work = Work::DeviceOperation);
    void EndOperation(Work work = Work::DeviceOperation);
    bool OperationRunning() const { return operationDepth_ > 0; }
    bool DeviceOperationRunning() const { return deviceDepth_ > 0; }
    bool CloseRequested() const { return closeRequested_; }

    class OperationGuard {
      public:
        explicit OperationGuard(MainWindowModel& model, Work work = Work::DeviceOperation)
            : model_(model), work_(work) {
            model_.BeginOperation(work_);
        }
        ~OperationGuard() { model_.EndOperation(work_); }
        OperationGuard(const OperationGuard&) = delete;
        OperationGuard& operator=(const OperationGuard&) = delete;

      private:
        MainWindowModel& model_;
        Work work_;
    };

    // Runs a handler; an error it raises ends it and is shown in the error box,
    // after which the window is made usable again. False when it failed.
    bool RunHandler(const std::function<void()>& handler);

    // OperationHost: the loading window over the main window, and the window keeps
    // painting while the device is worked.
    void showLoading() override;
    void hideLoading() override;
    void processEvents() override;
    void sleepMs(int ms) override;
    void delayUs(int us) override;

    // Handlers, named after the control and event.
    void Img_MIRQLogDblClick();
    void cb_ICTypeChange();
    void edt_VIDChange();
    void edt_PIDChange();
    void cb_AutoRunClick();
    void btn_LoadClick();
    void btn_WriteClick();
    void btn_VerifyClick();
    void btn_SaveClick();
    void edt_Write256CountChange();
    void btnReadFactoryClick();
    void DevTimerTimer();

  private:
    class PollHooks;

    // Sends a change to the view and keeps it as the control's state.
    void Set(Control control, const ControlChange& change);
    void SetText(Control control, std::string text) { Set(control, {.text = std::move(text)}); }
    void Show(Control control, bool shown) { Set(control, {.visible = shown}); }

    // A control as the control switches want it. While a device operation runs, a busy-locked
    // control stays disabled and takes the state wanted last when it ends.
    void SetUsable(Control control, bool usable);
    void SetLoadUsable(bool usable) { SetUsable(Control::btn_Load, usable); }
    // Disables the busy-locked controls at the start of the first device operation; gives them
    // the state wanted meanwhile when the last one ends.
    void LockWhileBusy();
    void UnlockAfterBusy();

    // Control-set switches used by polling, the write and the save.
    void ShowDeviceFound();
    void LockOperationControls();
    void UnlockOperationControls();
    void SetOperationButtonsEnabled(bool enabled);
    // An operation begins: the last result goes, the poll stops, the operation buttons are
    // held; and after a verify or factory read, the other way round.
    void HoldForOperation();
    void ReleaseAfterOperation();
    void SetParameterControlsEnabled(bool enabled);

    void RecoverAfterFailure();
    // Closes the window once the close query lets it.
    void CloseWhenIdle();

    // Last step of a successful load: result labels hidden, image loaded, polling on.
    void ImageReady();
    // An operation's result on the label the table names, in its colour and size.
    void ShowResult(const ResultView& view);
    // Why the last operation did not pass: under the result, and as its tooltip.
    void ShowReason(const Reason& reason);
    void HideLoadResultLabels();
    // The loaded image's identity beside the path and in its tooltip; none clears both.
    void ShowImageIdentity(const std::optional<ImageIdentity>& identity);
    // The path field: the whole path, which the view shortens where it does not fit, and in
    // its tooltip with the identity.
    void ShowBinFilePath(const std::string& path);
    // lbl_DevStatus, unless a deferred close is being shown there.
    void ShowDevStatus(std::uint8_t captionIndex);
    // A close that waits for the operation says so in lbl_DevStatus until the window goes.
    void ShowClosing();

    // Fields read and checked before an operation's first device command.
    WriteParams ReadWriteParams(int icIndex) const;
    FactoryFields ReadFactoryFields() const;
    void SetFactoryFields(const FactoryFields& fields);
    // Empty when the line was written (or no log is kept); otherwise why not.
    std::string LogOperation(Operation op, Outcome outcome, int icIndex,
                             std::optional<std::int32_t> productNumber,
                             const OperationTiming& timing);
    // The ledger's side of an operation (main_window_ledger.cpp). Before a numbered write: the
    // station's dangling reservations ended once, then a number reserved and shown; throws
    // when there is none (the mouse untouched).
    std::int32_t TakeLedgerNumber(int icIndex, std::int32_t productType);
    // The operation's row; empty when recorded (or no ledger), otherwise why not.
    std::string RecordInLedger(Operation op, Outcome outcome, int icIndex,
                               const std::optional<FactoryFields>& factory,
                               std::optional<std::int32_t> productNumber,
                               const OperationTiming& timing);
    // After a lost log line: polling waits until the operator has seen the error box.
    [[noreturn]] void StopForLostLogLine(const std::string& reason);

    MainWindowView& view_;
    std::array<ControlChange, kControlCount> applied_{};
    OperationHost* clock_ = nullptr;
    ledger::StationLedger* ledger_ = nullptr;
    bool ledgerRecovered_ = false;
    // Identity the open device was found with (for the production log).
    std::int32_t openedVid_ = 0;
    std::int32_t openedPid_ = 0;
    // The password last confirmed; the dialog opens with it.
    std::string passwordEntry_;
    std::string identityTip_;  // the loaded image's identity, for the path's tooltip

    int operationDepth_ = 0;
    int deviceDepth_ = 0;
    int writeDepth_ = 0;
    std::map<Control, bool> wantedUsable_;  // while a device operation runs
    bool autoRunClicked_ = false;           // "Auto Write" switched while an operation ran
    bool closeRequested_ = false;
    HandlerGuard guard_;
};

}  // namespace bw::window
