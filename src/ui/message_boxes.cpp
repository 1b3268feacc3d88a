#include "ui/message_boxes.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <utility>

#include "production/error_box_message.h"

namespace bw {

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

QuestionHook& Question() {
    static QuestionHook hook;
    return hook;
}

// Room the title bar takes besides the caption (window icon, minimise, maximise and
// close buttons and their spacing), in text lines of the title font.
constexpr int kTitleBarControlLines = 6;

// A message box sizes itself for its text and buttons only, so a one-word text
// leaves the title bar too narrow for the caption. A spacer as wide as the caption
// and the title bar's buttons keeps the caption whole; the window manager's title
// font is not known here, so the box's font in bold stands for it.
void WidenForCaption(QMessageBox& box, const QString& caption) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int width = metrics.horizontalAdvance(caption) + kTitleBarControlLines * metrics.height();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void ShowBox(QWidget* parent, BoxKind kind, const QString& text) {
    const QString caption = QString::fromUtf8(kApplicationTitle);
    if (Hook()) {
        Hook()(kind, caption, text);
        return;
    }
    QMessageBox box(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption,
                    text, QMessageBox::Ok, parent);
    WidenForCaption(box, caption);
    box.exec();
}

}  // namespace

QString ErrorBoxText(const QString& message) {
    return QString::fromStdString(ErrorBoxMessage(message.toStdString()));
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

bool AskQuestion(QWidget* parent, const QString& question) {
    if (Question()) return Question()(question);
    const QString caption = QString::fromUtf8(kApplicationTitle);
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    WidenForCaption(box, caption);
    return box.exec() == QMessageBox::Yes;
}

void SetQuestionHook(QuestionHook hook) {
    Question() = std::move(hook);
}

}  // namespace bw
