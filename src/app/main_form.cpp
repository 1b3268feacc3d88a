#include "app/main_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "production/lang.h"
#include "ui/form_loading.h"
#include "ui/frame_placement.h"
#include "ui/message_boxes.h"

namespace bw {

namespace {

QString Caption(std::uint8_t index, std::uint8_t language) {
    const std::string_view text = GetCaption(index, language);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TForm1::TForm1(HidPlatform& platform, QWidget* parent)
    : QWidget(parent),
      state(platform),
      guard_(this, {[this] { hideLoading(); }, [this] { RecoverAfterFailure(); }}) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kMainWindowTitle));
    // Fixed dialog border: system menu, minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    ApplyLook();
    SetKeyboardOrder();
    WireEvents();
    FormCreate();
    // Centred again by the outer size once the window manager's frame is known.
    new FramePlacement(*this, [this] { CentreOnScreen(); });
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    station.forgetImage(state);
    state.VerifyMismatch = false;
    lbl_PassCnt->setText(QStringLiteral("0"));
    station.PassCount = 0;

    CentreOnScreen();
    setFixedSize(DesignWidth, DesignHeight);

    SelectUiLanguage();
    state.link.ForgetHandles();
    update();
}

void TForm1::CentreOnScreen() {
    QSize screen(DesignWidth, DesignHeight);
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        screen = primary->geometry().size();
    }
    // The client area keeps the design size; the platform's title bar and border come
    // on top of it, so the window is centred by its outer size (the design size until
    // the frame is known).
    const QMargins frame = FrameMargins(*this);
    const int outerWidth = DesignWidth + frame.left() + frame.right();
    const int outerHeight = DesignHeight + frame.top() + frame.bottom();
    move(CentredOrigin(screen.width(), outerWidth), CentredOrigin(screen.height(), outerHeight));
}

void TForm1::SelectUiLanguage() {
    SelectUiLanguage(WindowsLocaleId(QLocale::system()));
}

void TForm1::SelectUiLanguage(std::uint32_t localeId) {
    UiLanguage = UiLanguageForLocale(localeId);
    ApplyCaptions();
}

void TForm1::ApplyCaptions() {
    const QString face =
        QString::fromLatin1(CaptionFontFace(UiLanguage).data(),
                            static_cast<qsizetype>(CaptionFontFace(UiLanguage).size()));
    const QList<QWidget*> faced{lbl_DevStatus,
                                lbl_ICType,
                                cb_ICType,
                                lbl_VID,
                                edt_VID,
                                lbl_PID,
                                edt_PID,
                                lbl_AutoMode,
                                cb_AutoRun,
                                lbl_BinFile,
                                edt_BinFile,
                                btn_Load,
                                btn_Write,
                                btnReadFactory,
                                btn_Verify,
                                btn_Save,
                                gbResult,
                                lbl_BINDevError,
                                lbl_BINICTypeError,
                                lbl_CtrlResult,
                                lbl_Result,
                                lbl_PassNum,
                                lbl_PassCnt,
                                gbWriteConfig,
                                lbl_WriteCount,
                                lbl_RetryCount,
                                lbl_WriteType,
                                lbl_sleepTime,
                                lbl_RetryMode,
                                cb_WriteID,
                                gbFactoryConfig,
                                lbl_FactoryType,
                                lbl_FactoryDate,
                                lbl_FactoryNum,
                                lbl_Factory,
                                Label2,
                                Label3};
    for (QWidget* control : faced) {
        QFont font = control->font();
        font.setFamily(face);
        control->setFont(font);
    }

    const auto label = [this](std::uint8_t index, QLabel* control) {
        control->setText(Caption(index, UiLanguage));
    };
    const auto button = [this](std::uint8_t index, QAbstractButton* control) {
        control->setText(Caption(index, UiLanguage));
    };
    const auto group = [this](std::uint8_t index, QGroupBox* control) {
        control->setTitle(Caption(index, UiLanguage));
    };
    label(0, lbl_DevStatus);
    label(2, lbl_ICType);
    label(3, lbl_VID);
    label(4, lbl_PID);
    label(5, lbl_AutoMode);
    button(6, cb_AutoRun);
    label(7, lbl_BinFile);
    button(8, btn_Load);
    button(9, btn_Write);
    button(37, btnReadFactory);
    button(10, btn_Verify);
    button(11, btn_Save);
    group(18, gbResult);
    label(19, lbl_BINDevError);
    label(20, lbl_BINICTypeError);
    label(21, lbl_Result);
    label(23, lbl_PassNum);
    group(24, gbWriteConfig);
    label(26, lbl_RetryCount);
    label(25, lbl_WriteCount);
    label(27, lbl_WriteType);
    label(28, lbl_RetryMode);
    button(29, cb_WriteID);
    group(30, gbFactoryConfig);
    label(31, lbl_FactoryType);
    label(32, lbl_FactoryDate);
    label(33, lbl_FactoryNum);
    label(34, lbl_Factory);
    label(35, Label2);
    label(36, Label3);
}

QList<QWidget*> TForm1::OperationButtons() const {
    return {btn_Write, btnReadFactory, btn_Verify, btn_Save};
}

QList<QWidget*> TForm1::ParameterControls() const {
    return {edt_AllCnt, edt_RetryCnt, rb_CmdByte2K, rb_CmdByte256, edt_Write256Count,
            lbl_VID,    edt_VID,      lbl_PID,      edt_PID};
}

QList<QWidget*> TForm1::ResultLabels() const {
    return {lbl_Result, lbl_BINDevError, lbl_BINICTypeError, lbl_CtrlResult, lbl_ResultReason};
}

QList<QWidget*> TForm1::IdentityControls() const {
    return {lbl_VID, edt_VID, lbl_PID, edt_PID};
}

QList<QWidget*> TForm1::KeyboardOrder() const {
    // Top level, then inside the write parameters (the check box's frame comes
    // before the radio pair), then inside the factory group.
    return {cb_ICType,      btn_Load,          btn_Write,       btn_Verify,     btn_Save,
            cb_AutoRun,     edt_BinFile,       edt_VID,         edt_PID,        edt_AllCnt,
            edt_RetryCnt,   cb_WriteID,        rb_CmdByte2K,    rb_CmdByte256,  edt_Write256Count,
            edt_sleepTime,  edt_FactoryType,   edt_FactoryDate, edt_FactoryNum, cb_Factory,
            cb_FactoryLine, cb_FactoryStation, btnReadFactory};
}

int TForm1::IcTypeIndex() const {
    const int index = cb_ICType->currentIndex();
    if (index >= 0 && cb_ICType->itemText(index) == cb_ICType->currentText()) return index;
    return cb_ICType->findText(cb_ICType->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TForm1::ShowClosing() {
    // Longer than the status captions: two smaller lines in the same place.
    QFont font = lbl_DevStatus->font();
    font.setPixelSize(17);
    lbl_DevStatus->setFont(font);
    lbl_DevStatus->setWordWrap(true);
    lbl_DevStatus->setText(writeDepth_ > 0 ? QStringLiteral("Closing when this write ends")
                                           : QStringLiteral("Closing when this operation ends"));
}

void TForm1::ShowDevStatus(std::uint8_t captionIndex) {
    // A close that waits for the operation keeps saying so until the window goes.
    if (closeRequested_) return;
    lbl_DevStatus->setText(Caption(captionIndex, UiLanguage));
}

void TForm1::ShowDeviceFound() {
    Img_Find->show();
    ShowDevStatus(1);
    Img_NoFind->hide();
    SetUsable(cb_ICType, false);
    SetUsable(cb_AutoRun, false);
    processEvents();
}

void TForm1::LockOperationControls() {
    for (QWidget* control : OperationButtons()) SetUsable(control, false);
    for (QWidget* control : ParameterControls()) SetUsable(control, false);
    SetUsable(cb_AutoRun, false);
    for (QWidget* label : ResultLabels()) label->hide();
    SetLoadUsable(true);
}

QList<QWidget*> TForm1::BusyLockedControls() const {
    // A file dialog over a running write would stall it (and after a cancel no image would
    // count as loaded); a second operation would share the mouse and the count.
    return OperationButtons() + ParameterControls() +
           QList<QWidget*>{btn_Load,        cb_ICType,        cb_WriteID,     edt_sleepTime,
                           edt_FactoryType, edt_FactoryDate,  edt_FactoryNum, cb_Factory,
                           cb_FactoryLine,  cb_FactoryStation};
}

void TForm1::SetUsable(QWidget* control, bool usable) {
    if (DeviceOperationRunning() && wantedUsable_.count(control) > 0) {
        wantedUsable_[control] = usable;
        return;
    }
    control->setEnabled(usable);
}

void TForm1::LockWhileBusy() {
    wantedUsable_.clear();
    for (QWidget* control : BusyLockedControls()) {
        wantedUsable_[control] = control->isEnabled();
        control->setEnabled(false);
    }
}

void TForm1::UnlockAfterBusy() {
    const std::map<const QWidget*, bool> wanted = std::move(wantedUsable_);
    wantedUsable_.clear();
    for (QWidget* control : BusyLockedControls()) {
        const auto it = wanted.find(control);
        if (it != wanted.end()) control->setEnabled(it->second);
    }
}

void TForm1::UnlockOperationControls() {
    for (QWidget* control : OperationButtons()) SetUsable(control, true);
    for (QWidget* control : ParameterControls()) SetUsable(control, true);
    SetUsable(cb_AutoRun, true);
}

void TForm1::BeginOperation(Work work) {
    ++operationDepth_;
    if (work == Work::PollTick) return;
    if (work == Work::Write) ++writeDepth_;
    if (closeRequested_) ShowClosing();
    if (deviceDepth_++ == 0) LockWhileBusy();
}

void TForm1::EndOperation(Work work) {
    if (operationDepth_ > 0) --operationDepth_;
    if (work == Work::Write && writeDepth_ > 0) --writeDepth_;
    if (work != Work::PollTick && deviceDepth_ > 0 && --deviceDepth_ == 0) UnlockAfterBusy();
    if (operationDepth_ > 0) return;
    if (closeRequested_) {
        // Close once the handler that ended the operation has returned.
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
    } else if (autoRunClicked_) {
        // "Auto Write" switched meanwhile takes effect now, after the handler has returned.
        autoRunClicked_ = false;
        QMetaObject::invokeMethod(
            this, [this] { RunHandler([this] { cb_AutoRunClick(); }); }, Qt::QueuedConnection);
    }
}

bool TForm1::RunHandler(const std::function<void()>& handler) {
    return guard_.Run(handler);
}

void TForm1::RecoverAfterFailure() {
    // The failed handler has unwound: nothing runs any more.
    station.PollBusy = false;
    operationDepth_ = 0;
    if (deviceDepth_ > 0) UnlockAfterBusy();
    deviceDepth_ = 0;
    writeDepth_ = 0;
    if (closeRequested_) {
        close();
        return;
    }
    // Usable again: loading always, the operations when a mouse is ready for the
    // loaded image in manual mode, and polling whenever an image is loaded.
    SetLoadUsable(true);
    if (station.ImageLoaded && state.link.AnyDeviceOpen() && !cb_AutoRun->isChecked()) {
        UnlockOperationControls();
    }
    if (station.ImageLoaded) DevTimer->start();
}

void TForm1::showLoading() {
    if (loading_ != nullptr) loading_->ShowOver(frameGeometry());
}

void TForm1::hideLoading() {
    if (loading_ != nullptr) loading_->hide();
}

void TForm1::processEvents() {
    QCoreApplication::processEvents();
}

void TForm1::sleepMs(int ms) {
    if (clock_ != nullptr) {
        clock_->sleepMs(ms);
    } else {
        OperationHost::sleepMs(ms);
    }
}

void TForm1::delayUs(int us) {
    if (clock_ != nullptr) {
        clock_->delayUs(us);
    } else {
        OperationHost::delayUs(us);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (OperationRunning()) {
        // Closing now could leave a mouse half written; close when the operation ends,
        // and say so, or a long write looks like a hang.
        closeRequested_ = true;
        ShowClosing();
        event->ignore();
        return;
    }
    DevTimer->stop();
    state.link.ForgetHandles();
    event->accept();
    emit closed();
}

void TForm1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    constexpr int kFrame = 3;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 44, 200));
    painter.drawRect(0, 0, width(), kFrame);
    painter.drawRect(0, height() - kFrame, width(), kFrame);
    painter.drawRect(0, 0, kFrame, height());
    painter.drawRect(width() - kFrame, 0, kFrame, height());
}

}  // namespace bw
