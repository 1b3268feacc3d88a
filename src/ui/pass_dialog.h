#pragma once
// The password dialog: a masked entry with OK and Cancel. Only the settings and
// the last confirmed entry live between showings; the window exists only while shown.

#include <QChar>
#include <QColor>
#include <QFont>
#include <QObject>
#include <QSize>
#include <QString>

class QDialog;
class QWidget;

namespace bw {

// Left edges of the two buttons, symmetric about the middle of a dialog `width` wide.
inline int OkButtonLeft(int width, int okWidth) {
    return width / 2 - okWidth - 8;
}
inline int CancelButtonLeft(int width) {
    return width / 2 + 8;
}

class TPassDialog : public QObject {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{254, 177};
    static constexpr QSize kButtonSize{73, 25};
    static constexpr int kEditWidth = 201;

    explicit TPassDialog(QObject* parent = nullptr);

    QString Caption = QStringLiteral("MIRQ Binwright ");
    QString PromptText = QStringLiteral("PASSWORD:");
    QChar PasswordChar = QLatin1Char('*');
    QString ButtonOKCaption = QStringLiteral("OK");
    QString ButtonCancelCaption = QStringLiteral("Cancel");
    // The text last confirmed with OK; empty until then.
    QString ValueText;
    QFont BodyFont;
    QFont TitleFont;
    QColor TitleColor = Qt::white;

    // Shows the dialog modally, centred over mainWindow (may be null). OK copies the
    // entry into ValueText; Cancel, Escape and the close button keep it.
    // Returns QDialog::Accepted or QDialog::Rejected.
    int Execute(QWidget* mainWindow);

  signals:
    // The dialog is on screen and its modal loop runs. Children are named
    // "Prompt", "Value", "OK" and "Cancel".
    void shown(QDialog* dialog);
};

}  // namespace bw
