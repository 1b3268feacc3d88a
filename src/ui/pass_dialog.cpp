#include "ui/pass_dialog.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "ui/frame_placement.h"
#include "ui/placement.h"

namespace bw {

namespace {

constexpr int kMarginX = (TPassDialog::kClientSize.width() - TPassDialog::kEditWidth) / 2;
constexpr int kPromptTop = 34;
constexpr int kEditTop = 58;
constexpr int kEditHeight = 21;
constexpr int kButtonTop = 120;

// Draws the masked entry with the dialog's own character instead of the style's.
class MaskCharacterStyle : public QProxyStyle {
  public:
    explicit MaskCharacterStyle(QChar character) : character_(character) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return character_.unicode();
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

  private:
    QChar character_;
};

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
    // Declared first so that it outlives the edit field that uses it.
    MaskCharacterStyle maskStyle(PasswordChar);
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
    edit->setStyle(&maskStyle);
    edit->setEchoMode(QLineEdit::Password);
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
        // Frame over frame: placed again when the dialog's title bar is known.
        const auto centre = [&dialog, mainWindow] {
            const QScreen* screen = mainWindow->screen();
            const QSize own = dialog.frameGeometry().size();
            const QPoint origin = screen != nullptr
                                      ? CentredOverInside(mainWindow->frameGeometry(), own,
                                                          screen->availableGeometry())
                                      : CentredOver(mainWindow->frameGeometry(), own);
            dialog.move(origin);
        };
        centre();
        new FramePlacement(dialog, centre);
    }

    QTimer::singleShot(0, &dialog, [this, &dialog] { emit shown(&dialog); });
    const int result = dialog.exec();
    if (result == QDialog::Accepted) ValueText = edit->text();
    return result;
}

}  // namespace bw
