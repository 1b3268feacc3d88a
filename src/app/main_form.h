#pragma once
// The main window: every control the operator uses, the controller state it
// owns, and the handlers the controls are wired to.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "app/file_dialog_settings.h"
#include "app/window_position.h"
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
#include "ui/handler_guard.h"
#include "ui/hex_edit.h"
#include "ui/image_label.h"

namespace bw {

inline constexpr char kMainWindowTitle[] = "MIRQ Mse Binwright v1.0";

class TFormLoadingUI;
class TPassDialog;

class TForm1 : public QWidget, public OperationHost {
    Q_OBJECT
  public:
    explicit TForm1(HidPlatform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    MouseSession state;    // the mouse at hand
    StationState station;  // the loaded image, pass count, poll tick and identity lock
    // Column of the caption table in use; set once at creation.
    std::uint8_t UiLanguage = 0;

    // Band 1, header.
    TImage* Img_MIRQLog;
    TImage* Img_Find;
    TImage* Img_NoFind;
    QLabel* lbl_DevStatus;
    // Band 2, identity row.
    QLabel* lbl_ICType;
    QComboBox* cb_ICType;
    QLabel* lbl_VID;
    THexEdit* edt_VID;
    QLabel* lbl_PID;
    THexEdit* edt_PID;
    // Band 3, mode and file rows.
    QLabel* lbl_AutoMode;
    QCheckBox* cb_AutoRun;
    QLabel* lbl_BinFile;
    QLineEdit* edt_BinFile;
    QLabel* lbl_BinIdentity;  // short identity of the loaded image, inside edt_BinFile
    // The BIN file chosen, whole; edt_BinFile shows it shortened in the middle where it is
    // longer than the field, and whole in its tooltip.
    QString BinFilePath;
    // Band 4, operation buttons.
    QPushButton* btn_Load;
    QPushButton* btn_Write;
    QPushButton* btn_Verify;
    QPushButton* btn_Save;
    // Band 5, write parameters.
    QGroupBox* gbWriteConfig;
    QLabel* lbl_WriteCount;
    TIntEdit* edt_AllCnt;
    QLabel* lbl_WriteType;
    QFrame* gbDataFormat;  // uncaptioned frame of the radio pair
    QRadioButton* rb_CmdByte2K;
    QRadioButton* rb_CmdByte256;
    QLabel* Label1;
    TIntEdit* edt_Write256Count;
    QLabel* lbl_RetryCount;
    TIntEdit* edt_RetryCnt;
    QLabel* lbl_RetryMode;
    QFrame* gbWriteID;  // uncaptioned frame of cb_WriteID
    QCheckBox* cb_WriteID;
    QLabel* lbl_sleepTime;
    TIntEdit* edt_sleepTime;
    // Band 6a, result.
    QGroupBox* gbResult;
    QLabel* lbl_Result;
    QLabel* lbl_BINDevError;
    QLabel* lbl_BINICTypeError;
    QLabel* lbl_CtrlResult;
    QLabel* lbl_ResultReason;  // why the last operation did not pass, in small type
    QLabel* lbl_PassNum;
    QLabel* lbl_PassCnt;
    // Band 6b, factory information.
    QGroupBox* gbFactoryConfig;
    QLabel* lbl_FactoryType;
    THexEdit* edt_FactoryType;
    QLabel* lbl_FactoryDate;
    THexEdit* edt_FactoryDate;
    QLabel* lbl_FactoryNum;
    THexEdit* edt_FactoryNum;
    QLabel* lbl_Factory;
    QComboBox* cb_Factory;
    QLabel* Label2;
    QComboBox* cb_FactoryLine;
    QLabel* Label3;
    QComboBox* cb_FactoryStation;
    QPushButton* btnReadFactory;
    // Without a place on screen.
    QTimer* DevTimer;
    FileDialogSettings OpenDialog1;
    FileDialogSettings SaveDialog1;
    TPassDialog* dlgPass;

    // The open and save dialogs; replaceable (tests). An empty path means cancelled.
    std::function<QString()> chooseOpenFile;
    std::function<QString()> chooseSaveFile;
    // One line per device operation when a file is named (--log FILE).
    ProductionLog productionLog;
    // --expect-sha256: only this image is loaded; any other is refused in the error box.
    std::optional<Sha256> approvedSha256;
    // --ledger: every operation is recorded and writes with the factory record take their
    // product number from it; the number field is then read-only and shows the next number.
    // Owned by the caller, who outlives the window.
    void UseLedger(ledger::StationLedger* station);
    ledger::StationLedger* Ledger() const { return ledger_; }
    // The number field follows what the ledger gives next for the type in its field.
    void ShowNextNumber();
    // Waits go through this clock when set (tests); otherwise they really wait.
    void SetClock(OperationHost* clock) { clock_ = clock; }

    // The control sets switched together.
    QList<QWidget*> OperationButtons() const;
    QList<QWidget*> ParameterControls() const;
    QList<QWidget*> ResultLabels() const;
    // lbl_VID, edt_VID, lbl_PID, edt_PID: enabled and disabled together.
    QList<QWidget*> IdentityControls() const;
    // Focusable controls in keyboard order.
    QList<QWidget*> KeyboardOrder() const;

    // Selected row of cb_ICType; -1 when its text is not one of the rows.
    int IcTypeIndex() const;

    // Creation handler, run by the constructor before the window is shown.
    void FormCreate();
    // Centres the window's frame on the primary screen (by the client area until
    // the frame is known).
    void CentreOnScreen();
    // Language from the system locale, or from a Windows locale identifier.
    void SelectUiLanguage();
    void SelectUiLanguage(std::uint32_t localeId);
    void ApplyCaptions();

    // Control-set switches used by polling, the write and the save.
    void ShowDeviceFound();
    void LockOperationControls();
    void UnlockOperationControls();

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
        explicit OperationGuard(TForm1& form, Work work = Work::DeviceOperation)
            : form_(form), work_(work) {
            form_.BeginOperation(work_);
        }
        ~OperationGuard() { form_.EndOperation(work_); }
        OperationGuard(const OperationGuard&) = delete;
        OperationGuard& operator=(const OperationGuard&) = delete;

      private:
        TForm1& form_;
        Work work_;
    };

    // Every control that starts an operation or changes its parameters: the operation
    // buttons, Load, the IC type, the write parameters (VID and PID included) and the factory
    // fields. None of them is usable while a device operation runs (the logo's double-click,
    // which unlocks VID and PID, is refused then).
    QList<QWidget*> BusyLockedControls() const;
    // A control as the control switches want it. While a device operation runs, a control of
    // BusyLockedControls stays disabled and takes the state wanted last when it ends.
    void SetUsable(QWidget* control, bool usable);
    void SetLoadUsable(bool usable) { SetUsable(btn_Load, usable); }

    // Runs a handler; an error it raises ends it and is shown in the error box,
    // after which the window is made usable again. False when it failed.
    bool RunHandler(const std::function<void()>& handler);

    // The loading window shown around device work (created after this window).
    void SetLoadingWindow(TFormLoadingUI* window) { loading_ = window; }
    TFormLoadingUI* LoadingWindow() const { return loading_; }

    // OperationHost: the loading window over this one, and the window keeps
    // painting while the device is worked.
    void showLoading() override;
    void hideLoading() override;
    void processEvents() override;
    void sleepMs(int ms) override;
    void delayUs(int us) override;

    // Last step of a successful load: result labels hidden, image loaded, polling on.
    void ImageReady();
    // An operation's result on the label the table names, in its colour and size.
    void ShowResult(const ResultView& view);
    // Why the last operation did not pass: under the result, and as its tooltip.
    void ShowReason(const Reason& reason);

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

  signals:
    // The window has closed for good (the application should end).
    void closed();

  protected:
    // FormCloseQuery: forget the device handles and close, unless an operation runs.
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void CreateControls();
    void CreateHeader();
    void CreateIdentityRow();
    void CreateFileRows();
    void CreateButtons();
    void CreateWriteConfig();
    void CreateResult();
    void CreateFactoryConfig();
    void ApplyLook();
    void WireEvents();
    void SetKeyboardOrder();

    void RecoverAfterFailure();

    // Fields read and checked before an operation's first device command.
    WriteParams ReadWriteParams(int icIndex) const;
    FactoryFields ReadFactoryFields() const;
    void SetFactoryFields(const FactoryFields& fields);
    void HideLoadResultLabels();
    // The loaded image's identity beside the path and in its tooltip; none clears both.
    void ShowImageIdentity(const std::optional<ImageIdentity>& identity);
    // The path field: BinFilePath in the room left beside the identity, cut in the middle
    // (never inside a letter), the whole path and the identity in the tooltip.
    void ShowBinFilePath(const QString& path);
    void SetOperationButtonsEnabled(bool enabled);
    // Empty when the line was written (or no log is kept); otherwise why not.
    std::string LogOperation(Operation op, Outcome outcome, int icIndex,
                             std::optional<std::int32_t> productNumber,
                             const OperationTiming& timing);
    // The ledger's side of an operation (main_form_ledger.cpp). Before a numbered write: the
    // station's dangling reservations ended once, then a number reserved and shown; throws
    // when there is none (the mouse untouched).
    std::int32_t TakeLedgerNumber(int icIndex, std::int32_t productType);
    // The operation's row; empty when recorded (or no ledger), otherwise why not.
    std::string RecordInLedger(Operation op, Outcome outcome, int icIndex,
                               const std::optional<FactoryFields>& factory,
                               std::optional<std::int32_t> productNumber,
                               const OperationTiming& timing,
                               const std::optional<std::string>& caption = std::nullopt);
    // After a lost log line: polling waits until the operator has seen the error box.
    [[noreturn]] void StopForLostLogLine(const std::string& reason);
    // lbl_DevStatus, unless a deferred close is being shown there.
    void ShowDevStatus(std::uint8_t captionIndex);
    // A close that waits for the operation says so in lbl_DevStatus until the window goes.
    void ShowClosing();

    class PollHooks;

    OperationHost* clock_ = nullptr;
    ledger::StationLedger* ledger_ = nullptr;
    bool ledgerRecovered_ = false;
    // Identity the open device was found with (for the production log).
    std::int32_t openedVid_ = 0;
    std::int32_t openedPid_ = 0;

    // Disables BusyLockedControls at the start of the first device operation; gives them the
    // state wanted meanwhile when the last one ends.
    void LockWhileBusy();
    void UnlockAfterBusy();

    int operationDepth_ = 0;
    int deviceDepth_ = 0;
    int writeDepth_ = 0;
    std::map<const QWidget*, bool> wantedUsable_;  // while a device operation runs
    bool autoRunClicked_ = false;                  // "Auto Write" switched while an operation ran
    bool closeRequested_ = false;
    TFormLoadingUI* loading_ = nullptr;
    HandlerGuard guard_;
};

}  // namespace bw
