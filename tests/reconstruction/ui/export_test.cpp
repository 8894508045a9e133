// The Export window driven through its toolbar with the folder browser, the card reader and
// the message boxes answered by the test.
#include "reconstruction/ui/export.h"
#include "reconstruction/core/export_testutil.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using export_test::TempFolder;

namespace {

struct Message {
    std::string kind;
    std::string text;
};

class ExportWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = TExportForm::Environment();
        export_test::WriteFixtureFrames(program.path());
        output = program.path() / "chosen";
        fs::create_directories(output);
        card = export_test::FixtureCard();

        ExportEnvironment& env = TExportForm::Environment();
        env.chooseFolder = [this](QWidget*, const QString& caption) {
            captions.push_back(caption.toStdString());
            return answer;
        };
        env.readCard = [this] {
            ++reads;
            return card;
        };
        env.programFolder = [this] { return program.path(); };
        env.information = [this](QWidget*, const QString& text) {
            messages.push_back({"information", text.toStdString()});
            cursorDuringMessage = QApplication::overrideCursor() != nullptr;
        };
        env.error = [this](QWidget*, const QString& text) {
            messages.push_back({"error", text.toStdString()});
            cursorDuringMessage = QApplication::overrideCursor() != nullptr;
        };
        answer = QString::fromStdString(output.string());
        ExportForm = new TExportForm();
    }

    void TearDown() override
    {
        delete ExportForm.data();
        TExportForm::Environment() = saved;
    }

    void Click(const char* name)
    {
        auto* action = ExportForm->findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        auto* bar = ExportForm->findChild<QToolBar*>();
        QTest::mouseClick(bar->widgetForAction(action), Qt::LeftButton);
    }

    ExportEnvironment saved;
    TempFolder program;
    fs::path output;
    exports::CardRows card;
    QString answer;
    int reads = 0;
    bool cursorDuringMessage = false;
    std::vector<std::string> captions;
    std::vector<Message> messages;
};

}  // namespace

TEST_F(ExportWindow, Layout)
{
    EXPECT_EQ(ExportForm->windowTitle(), "Export");
    EXPECT_EQ(ExportForm->size(), QSize(276, 148));
    auto* bar = ExportForm->findChild<QToolBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isMovable());
    const QList<QAction*> actions = bar->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->objectName(), "dxBarLargeButton2");
    EXPECT_EQ(actions[0]->text(), "Export to Rhino3D");
    EXPECT_EQ(actions[0]->toolTip(), "Export to Rhino3D");
    EXPECT_EQ(actions[1]->objectName(), "dxBarLargeButton1");
    EXPECT_EQ(actions[1]->text(), "Export to XML");
    EXPECT_EQ(actions[1]->toolTip(), "Export to XML");
}

TEST_F(ExportWindow, BothExportsWriteTheFilesAndSummarise)
{
    struct Case {
        const char* button;
        const char* heading;
        const char* suffix;
    };
    for (const Case& c : {Case{"dxBarLargeButton1", "The following XML files exported successfully:\n\n", ".xml"},
                          Case{"dxBarLargeButton2", "The following Rhino3D files exported successfully:\n\n", ".txt"}}) {
        SCOPED_TRACE(c.button);
        messages.clear();
        captions.clear();
        Click(c.button);
        ASSERT_EQ(captions, std::vector<std::string>{"Select output folder"});
        std::string summary = c.heading;
        int n = 1;
        for (const char* recording : {"LAO", "RAO", "IVUS"}) {
            const fs::path file = output / ("7_" + std::string(recording) + c.suffix);
            EXPECT_EQ(export_test::ReadBytes(file),
                      export_test::ReadBytes(export_test::GoldenFolder() / file.filename()));
            summary += std::to_string(n++) + ") " + file.string() + "\n";
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].kind, "information");
        EXPECT_EQ(messages[0].text, summary);
        EXPECT_FALSE(cursorDuringMessage);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportWindow, CancellingTheFolderBrowserWritesNothing)
{
    answer.clear();
    Click("dxBarLargeButton1");
    Click("dxBarLargeButton2");
    EXPECT_EQ(captions.size(), 2u);
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(fs::is_empty(output));
}

TEST_F(ExportWindow, RefusalsAndFailuresAreErrors)
{
    card.pixelSpacing = 0.0;  // and calibration points that coincide
    Click("dxBarLargeButton2");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "error");
    EXPECT_TRUE(fs::is_empty(output));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    card = export_test::FixtureCard();
    fs::create_directories(output / "7_IVUS.xml");
    messages.clear();
    Click("dxBarLargeButton1");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "error");
    const std::string& text = messages[0].text;
    EXPECT_NE(text.find("1) " + (output / "7_LAO.xml").string() + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("The following files could not be written:\n\n3) " +
                        (output / "7_IVUS.xml").string()),
              std::string::npos)
        << text;

    TExportForm::Environment().readCard = []() -> exports::CardRows {
        throw std::runtime_error("database not open");
    };
    messages.clear();
    Click("dxBarLargeButton1");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, "error");
    EXPECT_EQ(messages[0].text, "database not open");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportWindow, EscapeClosesAndFreesTheWindow)
{
    QPointer<TExportForm> window = ExportForm.data();
    window->show();
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(ExportForm.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}
