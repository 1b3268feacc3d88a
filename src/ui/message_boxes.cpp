#include "ui/message_boxes.h"

#include <QMessageBox>
#include <utility>

namespace bw {

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

void ShowBox(QWidget* parent, BoxKind kind, const QString& text) {
    const QString caption = QString::fromUtf8(kApplicationTitle);
    if (Hook()) {
        Hook()(kind, caption, text);
        return;
    }
    QMessageBox box(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption,
                    text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
        return message + QLatin1Char('.');
    }
    return message;
}

void ShowErrorBox(QWidget* parent, const QString& message) {
    ShowBox(parent, BoxKind::Error, ErrorBoxText(message));
}

void ShowMessage(QWidget* parent, const QString& text) {
    ShowBox(parent, BoxKind::Message, text);
}

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

}  // namespace bw
