// The Export window inside the shell: opened from the main window's "Export" button over a
// fixture database, with the folder browser answered by the test and the messages recorded
// by the scripted prompter. The database is filled, and the XML files are checked, by
// independent readers (the sqlite3 tool, Python's sqlite3 and ElementTree).
#include "reconstruction/ui/export.h"
#include "reconstruction/core/export_testutil.h"
#include "card_fixture.h"

#include "app/child_registry.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/prompter.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using export_test::GoldenFolder;
using export_test::ReadBytes;

namespace {

const char* kFixtureRows = R"(
INSERT INTO patient(code, surname, name, pixelSpacing) VALUES (7, 'Doe', 'John', 0.0123);
INSERT INTO patient(code, surname, name) VALUES (8, 'Roe', 'Jane');
INSERT INTO ivus(patientID, catheterCenterX, catheterCenterY, catheterEdgeX, catheterEdgeY)
  VALUES (7, 200, 150, 210, 150);
INSERT INTO angio(patientID, LcatheterX, LcatheterY, LlumenAX, LlumenAY, LlumenBX, LlumenBY,
  LwidthX, LwidthY, RcatheterX, RcatheterY, RlumenAX, RlumenAY, RlumenBX, RlumenBY, LAOframe, RAOframe)
  VALUES (7, '10 15 22 -1', '20 30 41 -1', '5 7 -1', '6 8 -1', '', '', '100 110 -1', '200 190 -1',
          '10 600 -1', '20 470 -1', '1 -1', '1 -1', '2 4 -1', '3 5 -1', 3, 4);
INSERT INTO outerWall(id, patientID, frame, telodiastolicFrame, outerWallX, outerWallY, userOuterWallX, userOuterWallY)
  VALUES (12, 7, 2, 40, '1 2 -1', '3 4 -1', '1 -1', '1 -1'),
         (5, 7, 0, 10, '100 130 100 100 -1', '100 100 140 100 -1', '1 -1', '1 -1'),
         (20, 7, 5, 90, '5 -1', '6 -1', '1 -1', '1 -1'),
         (7, 9, 0, 10, '9 9 -1', '9 9 -1', '1 -1', '1 -1');  -- another card's row
INSERT INTO innerWall(id, patientID, frame, telodiastolicFrame, innerWallX, innerWallY, userInnerWallX, userInnerWallY)
  VALUES (9, 7, 2, 40, '-3 8 -1', '7 -9 -1', '1 -1', '1 -1'),
         (3, 7, 0, 10, '110 120 110 110 -1', '110 110 120 110 -1', '1 -1', '1 -1');
)";

class ExportWindow : public CardDatabaseTest {
protected:
    void SetUp() override
    {
        CardDatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        savedBrowser = TExportForm::FolderBrowser();
        TExportForm::FolderBrowser() = [this](QWidget*, const QString& caption) {
            captions << caption;
            return answer;
        };
        Sql(kFixtureRows);

        ChildWindowRegistry registry;
        registry.Register(ChildWindow::Export, CreateExportForm);
        MainForm = new TMainForm(registry);
        MainForm->PatientCode = 7;

        program = fs::path(QFile::encodeName(root.path()).toStdString());
        export_test::WriteFixtureFrames(program);
        output = program / "chosen";
        fs::create_directories(output);
        answer = QString::fromStdString(output.string());
    }

    void TearDown() override
    {
        TExportForm::FolderBrowser() = savedBrowser;
        CardDatabaseTest::TearDown();
    }

    // Presses the main window's "Export" button and, inside the modal window, the given
    // buttons of its toolbar; then closes it with Escape.
    void ExportThroughMainWindow(std::initializer_list<const char*> buttons)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<TExportForm*>(ExportForm.data());
            ASSERT_NE(window, nullptr);
            EXPECT_TRUE(window->isModal());
            for (const char* name : buttons) {
                auto* action = window->findChild<QAction*>(name);
                auto* bar = window->findChild<QToolBar*>();
                ASSERT_TRUE(action && bar) << name;
                QTest::mouseClick(bar->widgetForAction(action), Qt::LeftButton);
            }
            QTest::keyClick(window, Qt::Key_Escape);
            ran = true;
        });
        MainForm->dxBarLargeButton10Click();
        EXPECT_TRUE(ran);
        EXPECT_TRUE(ExportForm.isNull());
    }

    std::string Oracle()
    {
        const auto [status, out] = RunProcess(fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3",
                                       {QString::fromStdString((GoldenFolder() / "etree_vs_db.py").string()),
                                        AppPaths::DatabaseFile(), QString::number(MainForm->PatientCode),
                                        QString::fromStdString(output.string())});
        return status == 0 ? std::string("consistent") : out.toStdString();
    }

    ExportFolderBrowser savedBrowser;
    fs::path program;
    fs::path output;
    QString answer;
    QStringList captions;
};

}  // namespace

TEST_F(ExportWindow, Layout)
{
    TExportForm window;
    EXPECT_EQ(window.windowTitle(), "Export");
    EXPECT_EQ(window.size(), QSize(276, 148));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    auto* bar = window.findChild<QToolBar*>();
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

TEST_F(ExportWindow, BothExportsOfTheStoredCard)
{
    ExportThroughMainWindow({"dxBarLargeButton1", "dxBarLargeButton2"});

    EXPECT_EQ(captions, QStringList({"Select output folder", "Select output folder"}));
    QString xmlSummary = "The following XML files exported successfully:\n\n";
    QString cadSummary = "The following Rhino3D files exported successfully:\n\n";
    int n = 1;
    for (const char* recording : {"LAO", "RAO", "IVUS"}) {
        for (const char* suffix : {".xml", ".txt"}) {
            const fs::path file = output / ("7_" + std::string(recording) + suffix);
            EXPECT_EQ(ReadBytes(file), ReadBytes(GoldenFolder() / file.filename())) << file;
        }
        const QString prefix = QString::number(n++) + ") " + QString::fromStdString(output.string()) + "/7_" + recording;
        xmlSummary += prefix + ".xml\n";
        cadSummary += prefix + ".txt\n";
    }
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Info);
    EXPECT_EQ(prompter.messages[0].caption, "3D Kestrova v2.1");
    EXPECT_EQ(prompter.messages[0].text, xmlSummary);
    EXPECT_EQ(prompter.messages[1].kind, Prompter::Kind::Info);
    EXPECT_EQ(prompter.messages[1].text, cadSummary);
    EXPECT_EQ(Oracle(), "consistent");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportWindow, CardWithoutTracingsOrContours)
{
    MainForm->PatientCode = 8;  // a patient row only; its spacing is null
    MainForm->CalibrationPointA = {10, 10};
    MainForm->CalibrationPointB = {40, 50};
    MainForm->CalibrationDistance = 2.0;  // 50 pixels over 2 mm
    ExportThroughMainWindow({"dxBarLargeButton1", "dxBarLargeButton2"});
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[1].kind, Prompter::Kind::Info);

    EXPECT_EQ(Oracle(), "consistent");
    const std::string commandsOnly = "_Interpcrv\r\n_Enter\r\n_Interpcrv\r\n_Enter\r\n"
                                     "_Interpcrv\r\n_Enter\r\n_Polyline\r\n_Enter\r\n";
    EXPECT_EQ(ReadBytes(output / "8_LAO.txt"), commandsOnly);
    EXPECT_EQ(ReadBytes(output / "8_RAO.txt"), commandsOnly);
    EXPECT_EQ(ReadBytes(output / "8_IVUS.txt"), "length = 0.0\r\ncalibration_video = 25\r\n");
    const std::string ivus = ReadBytes(output / "8_IVUS.xml");
    EXPECT_NE(ivus.find("<outerWall numFrames=\"0\">"), std::string::npos);
    EXPECT_NE(ivus.find("<innerWall numFrames=\"0\">"), std::string::npos);
    EXPECT_NE(ivus.find("<catheterCenter x=\"0\" y=\"0\" />"), std::string::npos);
    EXPECT_NE(ivus.find("<pixelSpacing>25</pixelSpacing>"), std::string::npos);
}

TEST_F(ExportWindow, CancelledFolderBrowserWritesNothing)
{
    answer.clear();
    ExportThroughMainWindow({"dxBarLargeButton1", "dxBarLargeButton2"});
    EXPECT_EQ(captions.size(), 2);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(fs::is_empty(output));
}

TEST_F(ExportWindow, UncalibratedCardIsRefused)
{
    Sql("UPDATE patient SET pixelSpacing = NULL WHERE code = 7;");  // and A = B = (0, 0)
    ExportThroughMainWindow({"dxBarLargeButton1", "dxBarLargeButton2"});
    ASSERT_EQ(prompter.messages.size(), 2u);
    for (const auto& message : prompter.messages) {
        EXPECT_EQ(message.kind, Prompter::Kind::Error);
        EXPECT_TRUE(message.text.contains("calibrate")) << message.text.toStdString();
    }
    EXPECT_TRUE(fs::is_empty(output));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportWindow, FailuresAreReported)
{
    // The IVUS file cannot be created: the other two are listed, the IVUS one reported.
    fs::create_directories(output / "7_IVUS.txt");
    ExportThroughMainWindow({"dxBarLargeButton2"});
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Error);
    const std::string text = prompter.messages[0].text.toStdString();
    const std::string folder = output.string();
    EXPECT_EQ(text.rfind("The following Rhino3D files exported successfully:\n\n1) " + folder + "/7_LAO.txt\n2) " +
                             folder + "/7_RAO.txt\n\nThe following files could not be written:\n\n3) " + folder +
                             "/7_IVUS.txt: ",
                         0),
              0u)
        << text;

    // A damaged stored contour once stopped the whole export; now it leaves out that
    // contour only, the files are written and the warning names the wall, the frame
    // (counted from 1), the card and the column.
    fs::remove(output / "7_LAO.txt");
    fs::remove(output / "7_RAO.txt");
    Sql("UPDATE innerWall SET innerWallY = '' WHERE id = 9;");  // frame 2: the third
    prompter.Clear();
    ExportThroughMainWindow({"dxBarLargeButton1"});
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Warning);
    const std::string warned = prompter.messages[0].text.toStdString();
    EXPECT_NE(warned.find("The stored inner wall of frame 3 of card 7 cannot be read (innerWallY: \"\" is not a "
                          "point list); frame 3 is left out."),
              std::string::npos)
        << warned;
    for (const char* file : {"7_LAO.xml", "7_RAO.xml", "7_IVUS.xml"})
        EXPECT_TRUE(fs::exists(output / file)) << file;
    const std::string ivusXml = ReadBytes(output / "7_IVUS.xml");
    EXPECT_NE(ivusXml.find("<innerWall numFrames=\"1\">"), std::string::npos);
    for (const char* file : {"7_LAO.xml", "7_RAO.xml", "7_IVUS.xml"})
        fs::remove(output / file);

    // No database: the failure is shown in the error dialog, nothing is written.
    dm->MyEmbConnection1.Disconnect();
    prompter.Clear();
    ExportThroughMainWindow({"dxBarLargeButton1"});
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::ErrorDialog);
    EXPECT_TRUE(prompter.messages[0].text.startsWith("Nothing was exported. ")) << prompter.messages[0].text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Every way an export ends with the folder chosen says what was written: a stored tracing
// that cannot be read stops it with "Nothing was exported." before its reason.
TEST_F(ExportWindow, AnUnreadableTracingSaysNothingWasExported)
{
    Sql("UPDATE angio SET LcatheterX = 'abc', LcatheterY = 'abc' WHERE patientID = 7;");
    ExportThroughMainWindow({"dxBarLargeButton1", "dxBarLargeButton2"});
    ASSERT_EQ(prompter.messages.size(), 2u);
    for (const auto& message : prompter.messages) {
        EXPECT_EQ(message.kind, Prompter::Kind::ErrorDialog);
        EXPECT_TRUE(message.text.startsWith("Nothing was exported. ")) << message.text.toStdString();
        EXPECT_TRUE(message.text.contains("abc")) << message.text.toStdString();
    }
    EXPECT_TRUE(fs::is_empty(output));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportWindow, EscapeClosesAndFreesTheWindow)
{
    QPointer<TExportForm> watch;
    bool visibleAfterEscape = true;
    QTimer::singleShot(0, [&] {
        watch = qobject_cast<TExportForm*>(ExportForm.data());
        ASSERT_FALSE(watch.isNull());
        QTest::keyClick(watch.data(), Qt::Key_Escape);
        visibleAfterEscape = watch && watch->isVisible();
    });
    MainForm->dxBarLargeButton10Click();
    EXPECT_TRUE(ExportForm.isNull());
    EXPECT_FALSE(visibleAfterEscape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}
