// Event wiring of the main window and the handlers that belong to the window
// itself. The device, image and production handlers grow here.

#include <QDialog>

#include "app/main_form.h"
#include "production/identity_lock.h"
#include "ui/message_boxes.h"
#include "ui/pass_dialog.h"

namespace bw {

void TForm1::WireEvents() {
    const auto run = [this](void (TForm1::*handler)()) {
        return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
    };
    connect(Img_MIRQLog, &TImage::doubleClicked, this, run(&TForm1::Img_MIRQLogDblClick));
    // A row chosen from the list or text typed into it.
    connect(cb_ICType, &QComboBox::activated, this, run(&TForm1::cb_ICTypeChange));
    connect(cb_ICType->lineEdit(), &QLineEdit::textEdited, this, run(&TForm1::cb_ICTypeChange));
    connect(edt_VID, &QLineEdit::textChanged, this, run(&TForm1::edt_VIDChange));
    connect(edt_PID, &QLineEdit::textChanged, this, run(&TForm1::edt_PIDChange));
    connect(cb_AutoRun, &QCheckBox::clicked, this, run(&TForm1::cb_AutoRunClick));
    connect(btn_Load, &QPushButton::clicked, this, run(&TForm1::btn_LoadClick));
    connect(btn_Write, &QPushButton::clicked, this, run(&TForm1::btn_WriteClick));
    connect(btn_Verify, &QPushButton::clicked, this, run(&TForm1::btn_VerifyClick));
    connect(btn_Save, &QPushButton::clicked, this, run(&TForm1::btn_SaveClick));
    connect(edt_Write256Count, &QLineEdit::textChanged, this,
            run(&TForm1::edt_Write256CountChange));
    connect(btnReadFactory, &QPushButton::clicked, this, run(&TForm1::btnReadFactoryClick));
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
    switch (OnLogoDoubleClick(state)) {
        case LogoAction::Nothing:
            return;
        case LogoAction::Locked:
            for (QWidget* control : IdentityControls()) control->setEnabled(false);
            ShowMessage(this, QStringLiteral("Locked"));
            return;
        case LogoAction::AskPassword: {
            const bool accepted = dlgPass->Execute(this) == QDialog::Accepted;
            if (OnPasswordEntered(state, accepted, dlgPass->ValueText.toStdString())) {
                for (QWidget* control : IdentityControls()) control->setEnabled(true);
            }
            return;
        }
    }
}

void TForm1::cb_ICTypeChange() {}

void TForm1::cb_AutoRunClick() {}

void TForm1::btn_LoadClick() {}

void TForm1::btn_WriteClick() {}

void TForm1::btn_VerifyClick() {}

void TForm1::btn_SaveClick() {}

void TForm1::btnReadFactoryClick() {}

void TForm1::DevTimerTimer() {}

}  // namespace bw
