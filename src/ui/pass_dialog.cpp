#include "ui/pass_dialog.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "ui/placement.h"

namespace bw {

namespace {

constexpr int kMarginX = (TPassDialog::kClientSize.width() - TPassDialog::kEditWidth) / 2;
constexpr int kPromptTop = 34;
constexpr int kEditTop = 58;
constexpr int kEditHeight = 21;
constexpr int kButtonTop = 120;

QPushButton* MakeButton(QDialog& dialog, const QString& caption, const char* name, int left) {
    auto* button = new QPushButton(caption, &dialog);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(QRect(QPoint(left, kButtonTop), TPassDialog::kButtonSize));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace

TPassDialog::TPassDialog(QObject* parent) : QObject(parent) {
    BodyFont.setFamily(QStringLiteral("MS Sans Serif"));
    BodyFont.setPixelSize(11);
    TitleFont.setFamily(QStringLiteral("Tahoma"));
    TitleFont.setPixelSize(13);
    TitleFont.setBold(true);
}

int TPassDialog::Execute(QWidget* mainWindow) {
    // Fixed border with a title and a close button, nothing else.
    QDialog dialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                   Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                   Qt::WindowCloseButtonHint);
    dialog.setWindowTitle(Caption);
    dialog.setFont(BodyFont);
    dialog.setFixedSize(kClientSize);
    dialog.setModal(true);

    auto* prompt = new QLabel(PromptText, &dialog);
    prompt->setObjectName(QStringLiteral("Prompt"));
    prompt->move(kMarginX, kPromptTop);

    auto* edit = new QLineEdit(ValueText, &dialog);
    edit->setObjectName(QStringLiteral("Value"));
    edit->setGeometry(kMarginX, kEditTop, kEditWidth, kEditHeight);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: %1")
                            .arg(static_cast<int>(PasswordChar.unicode())));
    edit->selectAll();
    edit->setFocus();

    const int width = kClientSize.width();
    QPushButton* ok =
        MakeButton(dialog, ButtonOKCaption, "OK", OkButtonLeft(width, kButtonSize.width()));
    ok->setDefault(true);
    QPushButton* cancel =
        MakeButton(dialog, ButtonCancelCaption, "Cancel", CancelButtonLeft(width));
    cancel->setAutoDefault(false);
    // Escape and the close button reject the dialog like Cancel does.
    connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    if (mainWindow != nullptr) {
        dialog.move(CentredOver(mainWindow->frameGeometry(), kClientSize));
    }

    QTimer::singleShot(0, &dialog, [this, &dialog] { emit shown(&dialog); });
    const int result = dialog.exec();
    if (result == QDialog::Accepted) ValueText = edit->text();
    return result;
}

}  // namespace bw
