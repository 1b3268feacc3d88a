#pragma once
// The plain message box and the error box, both captioned with the application title.

#include <QString>
#include <functional>

class QWidget;

namespace bw {

inline constexpr const char* kApplicationTitle = "MIRQ Binwright";

// The error text as shown: "." appended when the last character sorts after "."
// (so one ending in ".", "!" or ")" gets none; an empty message stays empty).
QString ErrorBoxText(const QString& message);

// Modal box with the stop icon, the error text and OK.
void ShowErrorBox(QWidget* parent, const QString& message);
// Modal box with the text, no icon and OK.
void ShowMessage(QWidget* parent, const QString& text);
// Modal box with the question, Yes and No (No the default, Escape too); true for Yes.
bool AskQuestion(QWidget* parent, const QString& question);

enum class BoxKind { Error, Message };
// When set, receives what a box would show instead of showing it (for tests and
// headless runs). An empty function restores the real boxes.
using MessageBoxHook =
    std::function<void(BoxKind kind, const QString& caption, const QString& text)>;
void SetMessageBoxHook(MessageBoxHook hook);
// When set, answers every question instead of the box (tests).
using QuestionHook = std::function<bool(const QString& question)>;
void SetQuestionHook(QuestionHook hook);

}  // namespace bw
