#pragma once
// The main window on Qt: every control the operator uses, laid out as designed. It does
// nothing by itself: the window's behaviour (window::MainWindowModel) hears its controls'
// events and sends it the control changes, which it copies onto its widgets.

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
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/file_dialog_settings.h"
#include "app/window_position.h"
#include "ui/hex_edit.h"
#include "ui/image_label.h"
#include "window/main_window_view.h"
#include "window/running_copy.h"

namespace bw {

using window::kMainWindowTitle;

class TFormLoadingUI;
class TPassDialog;

class TForm1 : public QWidget, public window::MainWindowView {
    Q_OBJECT
  public:
    // Creates the controls in their design state, at the design size, centred.
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

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

    // The widget of a control; null for DevTimer.
    QWidget* Widget(window::Control control) const {
        return widgets_[static_cast<std::size_t>(control)];
    }
    // The control sets switched together.
    QList<QWidget*> OperationButtons() const;
    QList<QWidget*> ResultLabels() const;
    // Focusable controls in keyboard order.
    QList<QWidget*> KeyboardOrder() const;

    // Centres the window's frame on the primary screen (by the client area until
    // the frame is known).
    void CentreOnScreen();

    // The loading window shown around device work (created after this window).
    void SetLoadingWindow(TFormLoadingUI* window) { loading_ = window; }
    TFormLoadingUI* LoadingWindow() const { return loading_; }

    // MainWindowView.
    void SetEvents(window::MainWindowEvents* events) override { events_ = events; }
    void Apply(window::Control control, const window::ControlChange& change) override;
    std::string Text(window::Control control) const override;
    int SelectedRow(window::Control control) const override;
    bool Checked(window::Control control) const override;
    std::int32_t GetValue(window::Control field) const override;
    void SetValue(window::Control field, std::int32_t value) override;
    void StartTimer() override;
    void StopTimer() override;
    bool TimerRunning() const override;
    std::optional<std::string> ChooseOpenFile() override;
    std::optional<std::string> ChooseSaveFile() override;
    void ShowMessage(std::string_view text) override;
    void ShowError(std::string_view message) override;
    std::optional<std::string> AskPassword(std::string_view lastEntry) override;
    void ShowLoading() override;
    void HideLoading() override;
    void ProcessEvents() override;
    void Post(std::function<void()> work) override;
    void Close() override;

  signals:
    // The window has closed for good (the application should end).
    void closed();

  protected:
    // The close query: the behaviour says whether the window may close now.
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
    void Report(window::Control control, window::Event event);
    // The path field: the path in the room left beside the identity, cut in the middle
    // (never inside a letter).
    void ShowBinFilePath(const QString& path);
    // The reason under the result: whole and wrapped, cut only where longer than two lines.
    void ShowReasonText(const QString& text);

    std::array<QWidget*, window::kControlCount> widgets_{};
    window::MainWindowEvents* events_ = nullptr;
    TFormLoadingUI* loading_ = nullptr;
    bool closingForGood_ = false;
};

}  // namespace bw
