#include "app_fixture.h"

#include "app/about.h"
#include "app/execute.h"
#include "app/forms.h"
#include "app/progress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QtTest/QTest>

class SmallWindows : public AppTest {
protected:
    void TearDown() override
    {
        SetShellLauncher({});
        AppTest::TearDown();
    }
};

TEST_F(SmallWindows, AboutClosesOnEscapeSpaceAndPictureOnly)
{
    struct Case { Qt::Key key; bool closes; };
    const Case cases[] = {{Qt::Key_Escape, true}, {Qt::Key_Space, true}, {Qt::Key_A, false}, {Qt::Key_Return, false}};
    for (const auto& c : cases) {
        auto* about = new TAboutForm;
        about->setAttribute(Qt::WA_DeleteOnClose);
        about->show();
        ASSERT_EQ(AboutForm.data(), about);
        EXPECT_EQ(about->windowTitle(), "About the application");
        EXPECT_EQ(about->size(), QSize(580, 340));
        QTest::keyClick(about, c.key);
        EXPECT_EQ(about->isVisible(), !c.closes) << c.key;
        EXPECT_EQ(AboutForm.isNull(), c.closes) << c.key;
        if (!c.closes)
            about->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    auto* about = new TAboutForm;
    about->show();
    QTest::mouseClick(about->img1, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_FALSE(about->isVisible());
    delete about;
}

TEST_F(SmallWindows, LinksOpenThroughTheDesktopAndFailuresAreReported)
{
    QStringList opened;
    SetShellLauncher([&](const QString& file, const QString&, qint64* pid, QString*) {
        opened << file;
        *pid = 4242;
        return true;
    });
    TAboutForm about;
    about.show();
    about.Label1Click();
    about.Label2Click();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(opened[0].startsWith("http"));
    EXPECT_TRUE(about.isVisible());
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_EQ(ShellOpen("x"), 4242);

    SetShellLauncher([](const QString&, const QString&, qint64*, QString* reason) {
        *reason = "No such file or directory";
        return false;
    });
    EXPECT_EQ(ShellOpen("https://example.invalid/a b"), 0);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].caption, "Error opening URL");
    EXPECT_EQ(prompter_.messages[0].text, "Trying to open \"https://example.invalid/a b\"\r\nNo such file or directory");
    EXPECT_EQ(prompter_.messages[0].icon, Prompter::Icon::Warning);
}

TEST_F(SmallWindows, ProgressWindowFollowsItsProtocolAndAlwaysCloses)
{
    {
        ProgressScope progress("Graphs creation in progress", 3);
        ASSERT_FALSE(ProgressForm.isNull());
        TProgressForm* w = ProgressForm;
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(w->cxLabel1->text(), "Graphs creation in progress");
        EXPECT_EQ(w->cxProgressBar1->maximum(), 3);
        progress.Step();
        progress.Step();
        EXPECT_EQ(w->cxProgressBar1->value(), 2);
    }
    EXPECT_TRUE(ProgressForm.isNull());
    // A step that throws leaves no window behind.
    QPointer<TProgressForm> seen;
    EXPECT_THROW(
        {
            ProgressScope progress("Automatic detection progress", 10);
            seen = ProgressForm.data();
            progress.Step();
            throw std::runtime_error("detection failed");
        },
        std::runtime_error);
    EXPECT_TRUE(ProgressForm.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(seen.isNull());
}

TEST_F(SmallWindows, GuardedHandlersShowTheExceptionText)
{
    EXPECT_FALSE(RunGuarded([] { throw std::runtime_error("disk full"); }));
    EXPECT_TRUE(RunGuarded([] {}));
    EXPECT_FALSE(RunGuarded([] { throw 42; }));
    ASSERT_EQ(prompter_.messages.size(), 2u);
    EXPECT_EQ(prompter_.messages[0].text, "disk full");
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::ErrorDialog);
    EXPECT_EQ(prompter_.messages[1].text, "");
    {
        WaitCursor c;
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        c.Restore();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
