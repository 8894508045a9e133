#include "import/ui/import_messages.h"

#include <QApplication>
#include <QMessageBox>

namespace studyimport {

namespace {

MessageHandler& CurrentMessageHandler()
{
    static MessageHandler handler;
    return handler;
}

QuestionHandler& CurrentQuestionHandler()
{
    static QuestionHandler handler;
    return handler;
}

QString Caption()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("3D Kestrova v2.1") : name;
}

} // namespace

MessageHandler SetMessageHandler(MessageHandler handler)
{
    return std::exchange(CurrentMessageHandler(), std::move(handler));
}

QuestionHandler SetQuestionHandler(QuestionHandler handler)
{
    return std::exchange(CurrentQuestionHandler(), std::move(handler));
}

void ShowMessage(QWidget* parent, MessageKind kind, const QString& text)
{
    if (const MessageHandler& h = CurrentMessageHandler()) {
        h(parent, kind, text);
        return;
    }
    switch (kind) {
    case MessageKind::Information:
        QMessageBox::information(parent, Caption(), text);
        break;
    case MessageKind::Warning:
        QMessageBox::warning(parent, Caption(), text);
        break;
    case MessageKind::Error:
        QMessageBox::critical(parent, Caption(), text);
        break;
    case MessageKind::Plain: {
        QMessageBox box(QMessageBox::NoIcon, Caption(), text, QMessageBox::Ok, parent);
        box.exec();
        break;
    }
    }
}

bool AskYesNo(QWidget* parent, const QString& text)
{
    if (const QuestionHandler& h = CurrentQuestionHandler())
        return h(parent, text);
    return QMessageBox::question(parent, Caption(), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

} // namespace studyimport
