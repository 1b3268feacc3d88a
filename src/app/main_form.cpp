#include "app/main_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <utility>

#include "production/lang.h"
#include "ui/form_loading.h"
#include "ui/frame_placement.h"
#include "ui/message_boxes.h"
#include "ui/pass_dialog.h"

namespace bw {

namespace {

using window::Control;
using window::Event;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kMainWindowTitle));
    // Fixed dialog border: system menu, minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    for (const window::ControlInfo& info : window::kControls) {
        if (info.kind == window::ControlKind::Timer) continue;
        widgets_[static_cast<std::size_t>(info.control)] = findChild<QWidget*>(
            QString::fromLatin1(info.name.data(), static_cast<qsizetype>(info.name.size())));
    }
    ApplyLook();
    SetKeyboardOrder();
    WireEvents();
    CentreOnScreen();
    setFixedSize(DesignWidth, DesignHeight);
    // Centred again by the outer size once the window manager's frame is known.
    new FramePlacement(*this, [this] { CentreOnScreen(); });
}

TForm1::~TForm1() = default;

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

QList<QWidget*> TForm1::OperationButtons() const {
    return {btn_Write, btnReadFactory, btn_Verify, btn_Save};
}

QList<QWidget*> TForm1::ResultLabels() const {
    return {lbl_Result, lbl_BINDevError, lbl_BINICTypeError, lbl_CtrlResult, lbl_ResultReason};
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

void TForm1::Report(Control control, Event event) {
    if (events_ != nullptr) events_->OnEvent(control, event);
}

void TForm1::WireEvents() {
    const auto report = [this](Control control, Event event) {
        return [this, control, event] { Report(control, event); };
    };
    connect(Img_MIRQLog, &TImage::doubleClicked, this,
            report(Control::Img_MIRQLog, Event::DoubleClick));
    for (const window::ControlInfo& info : window::kControls) {
        QWidget* widget = Widget(info.control);
        switch (info.kind) {
            case window::ControlKind::Button:
            case window::ControlKind::CheckBox:
            case window::ControlKind::RadioButton:
                connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
                        report(info.control, Event::Click));
                break;
            case window::ControlKind::HexField:
            case window::ControlKind::IntField:
                connect(static_cast<QLineEdit*>(widget), &QLineEdit::textChanged, this,
                        report(info.control, Event::Change));
                break;
            case window::ControlKind::List: {
                // A row chosen from the list or text typed into it.
                auto* list = static_cast<QComboBox*>(widget);
                connect(list, &QComboBox::activated, this, report(info.control, Event::Change));
                connect(list->lineEdit(), &QLineEdit::textEdited, this,
                        report(info.control, Event::Change));
                break;
            }
            default:
                break;
        }
    }
    connect(DevTimer, &QTimer::timeout, this, report(Control::DevTimer, Event::Tick));
}

void TForm1::Apply(Control control, const window::ControlChange& change) {
    if (control == Control::DevTimer) return;
    QWidget* widget = Widget(control);
    if (change.enabled) widget->setEnabled(*change.enabled);
    if (change.fontFace || change.fontPixels || change.fontPoints || change.bold) {
        QFont font = widget->font();
        if (change.fontFace) font.setFamily(FromUtf8(*change.fontFace));
        if (change.fontPixels) font.setPixelSize(*change.fontPixels);
        if (change.fontPoints) font.setPointSize(*change.fontPoints);
        if (change.bold) font.setBold(*change.bold);
        widget->setFont(font);
    }
    auto* label = qobject_cast<QLabel*>(widget);
    auto* edit = qobject_cast<QLineEdit*>(widget);
    auto* list = qobject_cast<QComboBox*>(widget);
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (change.wordWrap && label != nullptr) label->setWordWrap(*change.wordWrap);
    if (change.textColour) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText,
                         QColor(change.textColour->r, change.textColour->g, change.textColour->b));
        widget->setPalette(palette);
    }
    if (change.readOnly && edit != nullptr) {
        edit->setReadOnly(*change.readOnly);
        // The style sheet looks at the property: shown like the path while read-only.
        edit->style()->unpolish(edit);
        edit->style()->polish(edit);
    }
    if (change.maxLength && edit != nullptr) edit->setMaxLength(*change.maxLength);
    if (change.checked && button != nullptr) button->setChecked(*change.checked);
    if (change.selectedRow && list != nullptr) {
        const int row = *change.selectedRow;
        list->setCurrentIndex(row >= 0 && row < list->count() ? row : -1);
    }
    if (change.text) {
        const QString text = FromUtf8(*change.text);
        if (control == Control::edt_BinFile) {
            ShowBinFilePath(text);
        } else if (control == Control::lbl_ResultReason) {
            ShowReasonText(text);
        } else if (label != nullptr) {
            label->setText(text);
        } else if (edit != nullptr) {
            edit->setText(text);
        } else if (list != nullptr) {
            list->setCurrentIndex(list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
            list->setEditText(text);
        } else if (button != nullptr) {
            button->setText(text);
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            group->setTitle(text);
        }
    }
    if (change.toolTip) widget->setToolTip(FromUtf8(*change.toolTip));
    if (change.visible) {
        widget->setVisible(*change.visible);
        if (control == Control::lbl_BinIdentity) {
            // The path's text stops short of the identity while it shows.
            edt_BinFile->setTextMargins(0, 0, *change.visible ? lbl_BinIdentity->width() + 4 : 0,
                                        0);
        }
    }
}

void TForm1::ShowBinFilePath(const QString& path) {
    // The field's frame, padding and the line edit's own margin take 8 pixels.
    const int room = edt_BinFile->width() - edt_BinFile->textMargins().right() - 8;
    edt_BinFile->setText(
        QFontMetrics(edt_BinFile->font()).elidedText(path, Qt::ElideMiddle, std::max(room, 0)));
    edt_BinFile->setCursorPosition(0);
}

void TForm1::ShowReasonText(const QString& text) {
    // Whole, wrapped; only a text longer than the two lines there is room for is cut.
    lbl_ResultReason->setText(text);
    if (lbl_ResultReason->heightForWidth(lbl_ResultReason->width()) > lbl_ResultReason->height()) {
        const QFontMetrics metrics(lbl_ResultReason->font());
        lbl_ResultReason->setText(
            metrics.elidedText(text, Qt::ElideRight, 2 * lbl_ResultReason->width() - 40));
    }
}

std::string TForm1::Text(Control control) const {
    const QWidget* widget = Widget(control);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text().toStdString();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text().toStdString();
    if (const auto* list = qobject_cast<const QComboBox*>(widget))
        return list->currentText().toStdString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text().toStdString();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title().toStdString();
    return {};
}

int TForm1::SelectedRow(Control control) const {
    const auto* list = qobject_cast<const QComboBox*>(Widget(control));
    if (list == nullptr) return -1;
    const int index = list->currentIndex();
    if (index >= 0 && list->itemText(index) == list->currentText()) return index;
    return list->findText(list->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

bool TForm1::Checked(Control control) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Widget(control));
    return button != nullptr && button->isChecked();
}

std::int32_t TForm1::GetValue(Control field) const {
    const auto* edit = qobject_cast<const THexEdit*>(Widget(field));
    return edit != nullptr ? edit->GetValue() : 0;
}

void TForm1::SetValue(Control field, std::int32_t value) {
    if (auto* edit = qobject_cast<THexEdit*>(Widget(field))) edit->SetValue(value);
}

void TForm1::StartTimer() {
    DevTimer->start();
}

void TForm1::StopTimer() {
    DevTimer->stop();
}

bool TForm1::TimerRunning() const {
    return DevTimer->isActive();
}

std::optional<std::string> TForm1::ChooseOpenFile() {
    const QString path = chooseOpenFile ? chooseOpenFile() : OpenDialog1.GetOpenFileName(this);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> TForm1::ChooseSaveFile() {
    const QString path = chooseSaveFile ? chooseSaveFile() : SaveDialog1.GetSaveFileName(this);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void TForm1::ShowMessage(std::string_view text) {
    bw::ShowMessage(this, FromUtf8(text));
}

void TForm1::ShowError(std::string_view message) {
    ShowErrorBox(this, FromUtf8(message));
}

std::optional<std::string> TForm1::AskPassword(std::string_view lastEntry) {
    dlgPass->ValueText = FromUtf8(lastEntry);
    if (dlgPass->Execute(this) != QDialog::Accepted) return std::nullopt;
    return dlgPass->ValueText.toStdString();
}

void TForm1::ShowLoading() {
    if (loading_ != nullptr) loading_->ShowOver(frameGeometry());
}

void TForm1::HideLoading() {
    if (loading_ != nullptr) loading_->hide();
}

void TForm1::ProcessEvents() {
    QCoreApplication::processEvents();
}

void TForm1::Post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void TForm1::Close() {
    closingForGood_ = true;
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!closingForGood_ && events_ != nullptr && !events_->OnCloseQuery()) {
        event->ignore();
        return;
    }
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
