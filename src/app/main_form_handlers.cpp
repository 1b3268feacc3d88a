// Event wiring of the main window, the handlers of the window itself, the IC type
// change and the load of a BIN file.

#include <QDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <algorithm>
#include <stdexcept>

#include "app/main_form.h"
#include "image/bin_file.h"
#include "image/ic_types.h"
#include "production/ic_type_change.h"
#include "production/identity_lock.h"
#include "ui/message_boxes.h"
#include "ui/pass_dialog.h"

namespace bw {

void TForm1::WireEvents() {
    const auto run = [this](void (TForm1::*handler)()) {
        return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
    };
    // What starts an operation or changes its parameters does nothing while one runs (a poll
    // tick's too), whatever reaches it; its controls are disabled then as well.
    const auto runWhenIdle = [this](void (TForm1::*handler)()) {
        return [this, handler] {
            if (OperationRunning()) return;
            RunHandler([this, handler] { (this->*handler)(); });
        };
    };
    connect(Img_MIRQLog, &TImage::doubleClicked, this, runWhenIdle(&TForm1::Img_MIRQLogDblClick));
    // A row chosen from the list or text typed into it.
    connect(cb_ICType, &QComboBox::activated, this, runWhenIdle(&TForm1::cb_ICTypeChange));
    connect(cb_ICType->lineEdit(), &QLineEdit::textEdited, this,
            runWhenIdle(&TForm1::cb_ICTypeChange));
    connect(edt_VID, &QLineEdit::textChanged, this, run(&TForm1::edt_VIDChange));
    connect(edt_PID, &QLineEdit::textChanged, this, run(&TForm1::edt_PIDChange));
    connect(cb_AutoRun, &QCheckBox::clicked, this, run(&TForm1::cb_AutoRunClick));
    connect(btn_Load, &QPushButton::clicked, this, runWhenIdle(&TForm1::btn_LoadClick));
    connect(btn_Write, &QPushButton::clicked, this, runWhenIdle(&TForm1::btn_WriteClick));
    connect(btn_Verify, &QPushButton::clicked, this, runWhenIdle(&TForm1::btn_VerifyClick));
    connect(btn_Save, &QPushButton::clicked, this, runWhenIdle(&TForm1::btn_SaveClick));
    connect(edt_Write256Count, &QLineEdit::textChanged, this,
            run(&TForm1::edt_Write256CountChange));
    connect(btnReadFactory, &QPushButton::clicked, this, runWhenIdle(&TForm1::btnReadFactoryClick));
    connect(DevTimer, &QTimer::timeout, this, run(&TForm1::DevTimerTimer));
}

void TForm1::edt_VIDChange() {}

void TForm1::edt_PIDChange() {}

// Keeps the 256-byte block count in 1..8; runs again on its own change.
void TForm1::edt_Write256CountChange() {
    const std::int32_t count = edt_Write256Count->GetValue();
    if (count < 1) {
        edt_Write256Count->SetValue(1);
    } else if (count > 8) {
        edt_Write256Count->SetValue(8);
    }
}

// Locks the identity fields, or on every fifth double-click asks for the password
// that unlocks them.
void TForm1::Img_MIRQLogDblClick() {
    switch (OnLogoDoubleClick(station)) {
        case LogoAction::Nothing:
            return;
        case LogoAction::Locked:
            for (QWidget* control : IdentityControls()) SetUsable(control, false);
            ShowMessage(this, QStringLiteral("Locked"));
            return;
        case LogoAction::AskPassword: {
            const bool accepted = dlgPass->Execute(this) == QDialog::Accepted;
            if (OnPasswordEntered(station, accepted, dlgPass->ValueText.toStdString())) {
                for (QWidget* control : IdentityControls()) SetUsable(control, true);
            }
            return;
        }
    }
}

// A new IC type: the loaded image and the pass count no longer count, polling
// stops until an image is loaded for the new type, and VID and PID take its defaults.
void TForm1::cb_ICTypeChange() {
    ShowImageIdentity(std::nullopt);
    ShowBinFilePath(QString());
    const std::optional<IdentityDefaults> identity = OnIcTypeChange(station, state, IcTypeIndex());
    lbl_PassCnt->setText(QStringLiteral("0"));
    HideLoadResultLabels();
    DevTimer->stop();
    if (identity) {
        edt_VID->setText(QString::fromLatin1(identity->vid.data(),
                                             static_cast<qsizetype>(identity->vid.size())));
        edt_PID->setText(QString::fromLatin1(identity->pid.data(),
                                             static_cast<qsizetype>(identity->pid.size())));
    }
}

void TForm1::HideLoadResultLabels() {
    lbl_Result->hide();
    lbl_BINDevError->hide();
    lbl_BINICTypeError->hide();
}

void TForm1::ImageReady() {
    HideLoadResultLabels();
    station.ImageLoaded = true;
    DevTimer->start();
}

// Loads a BIN file as the image of the selected IC type. From the first step on no
// image counts as loaded and polling is off, whatever follows.
void TForm1::btn_LoadClick() {
    station.forgetImage(state);
    HideLoadResultLabels();
    DevTimer->stop();
    ShowImageIdentity(std::nullopt);

    const QString path = chooseOpenFile ? chooseOpenFile() : OpenDialog1.GetOpenFileName(this);
    if (path.isEmpty()) return;
    ShowBinFilePath(path);

    Image loaded{};
    const BinLoadResult result = LoadBinFile(path.toStdString(), loaded);
    if (result.error == BinLoadError::CannotOpen) throw std::runtime_error(result.message);
    if (result.error != BinLoadError::None) {
        lbl_BINICTypeError->show();
        return;
    }
    const ImageIdentity identity = IdentifyImage(loaded);
    if (approvedSha256) {
        const std::string refusal =
            ApprovalFailure(QFileInfo(path).fileName().toStdString(), identity, *approvedSha256);
        if (!refusal.empty()) {
            // Nothing may suggest the refused image is loaded.
            ShowBinFilePath(QString());
            throw std::runtime_error(refusal);
        }
    }
    const IcType* row = IcTypeAt(IcTypeIndex());
    if (row == nullptr) return;
    station.loadImage(loaded, std::string(row->rowText), identity);
    station.handImageTo(state);
    ShowImageIdentity(identity);
    ImageReady();
}

void TForm1::ShowImageIdentity(const std::optional<ImageIdentity>& identity) {
    if (!identity) {
        edt_BinFile->setTextMargins(0, 0, 0, 0);
        lbl_BinIdentity->clear();
        lbl_BinIdentity->setToolTip(QString());
        lbl_BinIdentity->hide();
    } else {
        lbl_BinIdentity->setText(QString::fromStdString(identity->shortText()));
        lbl_BinIdentity->setToolTip(QStringLiteral("SHA-256 %1\nCRC-32 %2")
                                        .arg(QString::fromStdString(identity->sha256Hex()),
                                             QString::fromStdString(identity->crc32Hex())));
        edt_BinFile->setTextMargins(0, 0, lbl_BinIdentity->width() + 4, 0);
        lbl_BinIdentity->show();
    }
    ShowBinFilePath(BinFilePath);
}

void TForm1::ShowBinFilePath(const QString& path) {
    BinFilePath = path;
    // The field's frame, padding and the line edit's own margin take 8 pixels.
    const int room = edt_BinFile->width() - edt_BinFile->textMargins().right() - 8;
    edt_BinFile->setText(
        QFontMetrics(edt_BinFile->font()).elidedText(path, Qt::ElideMiddle, std::max(room, 0)));
    edt_BinFile->setCursorPosition(0);
    QString tip = path;
    if (!lbl_BinIdentity->isHidden() && !lbl_BinIdentity->toolTip().isEmpty())
        tip += QLatin1Char('\n') + lbl_BinIdentity->toolTip();
    edt_BinFile->setToolTip(tip);
}

}  // namespace bw
