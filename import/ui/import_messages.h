#pragma once
// How the study import's windows talk to the user: modal message boxes captioned with
// the application title. Tests replace the handlers to record instead of blocking.
#include <QString>

#include <functional>

class QWidget;

namespace studyimport {

enum class MessageKind { Information, Warning, Error, Plain };

using MessageHandler = std::function<void(QWidget* parent, MessageKind kind, const QString& text)>;
using QuestionHandler = std::function<bool(QWidget* parent, const QString& text)>;

// Replace the handlers; an empty handler restores the message boxes. Return the previous.
MessageHandler SetMessageHandler(MessageHandler handler);
QuestionHandler SetQuestionHandler(QuestionHandler handler);

void ShowMessage(QWidget* parent, MessageKind kind, const QString& text);
// A Yes/No question; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

} // namespace studyimport
