// The message seam's real boxes: which button Enter presses.
#include "app/prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Asks through the real message box and answers with Enter, which takes the default button.
bool AnswerWithEnter(const std::function<bool()>& ask, QString* defaultText)
{
    QtPrompter qt;
    ScopedPrompter scope(qt);
    QTimer::singleShot(0, [defaultText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        *defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
    });
    return ask();
}

TEST(PrompterTest, EraseQuestionsTakeNoAsTheirDefault)
{
    QString def;
    EXPECT_FALSE(AnswerWithEnter([] { return Prompt().AskYesNoDefaultNo(QStringLiteral("Erase?")); }, &def));
    EXPECT_TRUE(def.contains(QStringLiteral("No"))) << def.toStdString();
    EXPECT_TRUE(AnswerWithEnter([] { return Prompt().AskYesNo(QStringLiteral("Go on?")); }, &def));
    EXPECT_TRUE(def.contains(QStringLiteral("Yes"))) << def.toStdString();
}

TEST(PrompterTest, ScriptedAnswersReachNoDefaultQuestions)
{
    ScriptedPrompter scripted;
    ScopedPrompter scope(scripted);
    scripted.answers = {true, false};
    EXPECT_TRUE(Prompt().AskYesNoDefaultNo(QStringLiteral("a")));
    EXPECT_FALSE(Prompt().AskYesNoDefaultNo(QStringLiteral("b")));
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_EQ(scripted.messages[0].kind, Prompter::Kind::YesNoDefaultNo);
    EXPECT_EQ(scripted.messages[0].icon, Prompter::Icon::Question);
}

} // namespace
