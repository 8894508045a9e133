// The new-patient wizard on the shell: a temporary program folder with its own
// database, the main window with the wizard registered, and recordings imported from
// folders of JPEG images. The database is read back through its own SQL connection.
#include "app/child_form.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "import/ui/end_diastolic_box.h"
#include "import/ui/player_frame.h"
#include "import/ui/progress_advanced.h"
#include "import/ui/wizard.h"
#include "ui_test_support.h"
#include "support/test_workstation.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDoubleSpinBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::PromptRecorder;
using B = TMainForm::Button;
using K = Prompter::Kind;

namespace {

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        BeginTestWorkstation(root_.path(), runtime_.path(), nullptr);
        dm = new Tdm;
        ChildWindowRegistry registry;
        registry.Register(ChildWindow::Wizard, CreateWizardForm);
        // The analysis and output windows only need to exist for their buttons to work.
        for (auto k : {ChildWindow::IVUS, ChildWindow::ANGIO, ChildWindow::Graphs, ChildWindow::Viewer3D})
            registry.Register(k, [](const WindowContext&) { return new TChildForm("Child", "Child", {100, 100}); });
        registry.Register(ChildWindow::Export, [](const WindowContext&) { return new TChildForm("Export", "Export", {100, 100}); });
        new TMainForm(registry);
        MainForm->show();
        ASSERT_TRUE(dm->MyEmbConnection1.Connected());
    }

    void TearDown() override
    {
        if (WizardForm)
            WizardForm->close();
        EndTestWorkstation();
    }

    TWizardForm* Open()
    {
        MainForm->dxBarLargeButton7Click();
        auto* w = qobject_cast<TWizardForm*>(WizardForm.data());
        EXPECT_NE(w, nullptr);
        return w;
    }

    static void FillPatient(TWizardForm* w, int code, QDate birth = QDate(1960, 5, 17))
    {
        w->cxDBTextEdit1->setText(QString::number(code));
        w->cxDBTextEdit2->setText(QStringLiteral("Doe"));
        w->cxDBTextEdit3->setText(QStringLiteral("John"));
        w->cxDBImageComboBox1->setCurrentIndex(1);
        w->cxDBDateEdit1->setText(birth.toString(Qt::ISODate));
    }

    // Imports `frames` flat JPEG images into page `series` (0 LAO, 1 RAO, 2 IVUS).
    void ImportFolder(TWizardForm* w, int series, int frames)
    {
        const fs::path folder = fs::path(root_.path().toStdString()) / ("source" + std::to_string(series));
        fs::remove_all(folder);
        fs::create_directories(folder);
        studyimport::testing::WriteFlatFrames(folder, "img", frames);
        w->ChooseImageFolder = [folder](QWidget*) { return QString::fromStdString(folder.string()); };
        w->Page(series).folderBrowse->click();
    }

    QString Sql(const QString& text)
    {
        QSqlQuery q(dm->MyEmbConnection1.Database());
        EXPECT_TRUE(q.exec(text)) << text.toStdString();
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString();
        return rows.join(QLatin1Char('|'));
    }

    static int Files(const QString& folder) { return QDir(folder).entryList({"*.jpg"}, QDir::Files).size(); }

    QTemporaryDir root_;
    QTemporaryDir runtime_;
    PromptRecorder prompts_;
};

TEST_F(WizardTest, OpensOnThePatientPageWithTheCardButtonsOff)
{
    MainForm->SetButtonEnabled(B::Save, true);
    TWizardForm* w = Open();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "New patient wizard");
    EXPECT_EQ(w->CurrentPage(), 0);
    EXPECT_FALSE(w->cxButton2->isVisibleTo(w));
    EXPECT_EQ(w->cxButton1->text(), "Next >");
    for (B b : {B::Save, B::Export, B::Graphs, B::Reconstruction3D})
        EXPECT_FALSE(MainForm->ButtonEnabled(b));
    // The New button a second time brings the same window forward.
    MainForm->dxBarLargeButton7Click();
    EXPECT_EQ(WizardForm.data(), w);
    // The lookups are filled from their tables, with an empty choice first.
    EXPECT_GT(w->cxDBLookupComboBox[0]->count(), 1);
}

TEST_F(WizardTest, PatientPageChecks)
{
    TWizardForm* w = Open();
    const QDate today = QDate::currentDate();
    struct Case {
        const char* name;
        QString code;
        int gender;
        QString birth;
        std::optional<std::pair<K, QString>> message; // nullopt: goes on to page 1
    };
    const Case cases[] = {
        {"no code", "", 1, "1960-01-01", std::pair<K, QString>{K::Warning, "Please fill all the mandatory fields"}},
        {"no gender", "7", 0, "1960-01-01", std::pair<K, QString>{K::Warning, "Please fill all the mandatory fields"}},
        {"no birth date", "7", 1, "", std::pair<K, QString>{K::Warning, "Please fill all the mandatory fields"}},
        {"born today", "7", 1, today.toString(Qt::ISODate), std::pair<K, QString>{K::Error, "Please check birth date"}},
        {"born tomorrow", "7", 2, today.addDays(1).toString(Qt::ISODate),
         std::pair<K, QString>{K::Error, "Please check birth date"}},
        {"not a date", "7", 2, "1960-13-45", std::pair<K, QString>{K::Error, "Please check birth date"}},
        {"born yesterday", "7", 2, today.addDays(-1).toString(Qt::ISODate), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts_.Clear();
        w->cxDBTextEdit1->setText(c.code);
        w->cxDBImageComboBox1->setCurrentIndex(c.gender);
        w->cxDBDateEdit1->setText(c.birth);
        w->cxButton1->click();
        if (c.message) {
            ASSERT_EQ(prompts_.messages.size(), 1u);
            EXPECT_EQ(prompts_.messages[0].kind, c.message->first);
            EXPECT_EQ(prompts_.messages[0].text, c.message->second);
            EXPECT_EQ(w->CurrentPage(), 0);
        } else {
            EXPECT_TRUE(prompts_.messages.empty());
            EXPECT_EQ(w->CurrentPage(), 1);
        }
    }
    // "< Previous" from page 1 hides itself and shows page 0.
    EXPECT_TRUE(w->cxButton2->isVisibleTo(w));
    w->cxButton2->click();
    EXPECT_EQ(w->CurrentPage(), 0);
    EXPECT_FALSE(w->cxButton2->isVisibleTo(w));
    // Three times Next reaches the IVUS page, whose button reads Finish.
    for (int i = 0; i < 3; ++i)
        w->cxButton1->click();
    EXPECT_EQ(w->CurrentPage(), 3);
    EXPECT_EQ(w->cxButton1->text(), "Finish");
}

TEST_F(WizardTest, CodeOfAnExistingCardIsRefused)
{
    Sql("INSERT INTO patient(code, name, surname) VALUES (12, 'A', 'B')");
    TWizardForm* w = Open();
    FillPatient(w, 12);
    EXPECT_FALSE(w->cxDBTextEdit1PropertiesValidate());
    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages.back().text, "The code number corresponds to another patient");
    prompts_.Clear();
    w->cxButton1->click();
    EXPECT_EQ(w->CurrentPage(), 0);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, "The code number corresponds to another patient");
    // A frame folder left by a deleted card also keeps its code.
    QDir().mkpath(AppPaths::PatientDir(13));
    FillPatient(w, 13);
    EXPECT_FALSE(w->cxDBTextEdit1PropertiesValidate());
    FillPatient(w, 14);
    EXPECT_TRUE(w->cxDBTextEdit1PropertiesValidate());
}

TEST_F(WizardTest, FinishWithoutAnyRecordingClosesWithoutSaving)
{
    TWizardForm* w = Open();
    FillPatient(w, 7);
    for (int i = 0; i < 3; ++i)
        w->cxButton1->click();
    w->cxButton1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(WizardForm.isNull());
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(Sql("SELECT count(*) FROM patient"), "0");
    for (B b : {B::Save, B::Export, B::Graphs, B::Reconstruction3D})
        EXPECT_FALSE(MainForm->ButtonEnabled(b));
    EXPECT_EQ(MainForm->PatientCode, -1);
}

TEST_F(WizardTest, FinishWithAngiographyOnlyStoresThePatientAndOpensTheCard)
{
    TWizardForm* w = Open();
    FillPatient(w, 7);
    w->cxDBSpinEdit[0]->setValue(41.5);
    w->cxDBSpinEdit[2]->setValue(0.0);
    w->cxButton1->click();
    ImportFolder(w, 0, 3);
    w->cxButton1->click();
    ImportFolder(w, 1, 2);
    w->cxButton1->click();
    prompts_.Clear();
    w->cxButton1->click(); // Finish
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages[0].kind, K::OkCancel);
    EXPECT_EQ(prompts_.messages[0].text,
              "You have completed the 'new patient card' wizard\nPress OK to save the card");
    EXPECT_TRUE(WizardForm.isNull());
    EXPECT_EQ(Sql("SELECT code || ' ' || name || ' ' || surname || ' ' || sex || ' ' || birthdate || ' ' || hematocrit "
                  "FROM patient"),
              "7 John Doe m 1960-05-17 41.5");
    EXPECT_EQ(Sql("SELECT count(*) FROM ivus"), "0");
    EXPECT_EQ(Sql("SELECT count(*) FROM patient WHERE pixelSpacing IS NULL"), "1");
    // Blood values left blank stay unknown (NULL); a value typed as 0 is stored as 0.
    EXPECT_EQ(Sql("SELECT quote(glucose) || ' ' || quote(urea) || ' ' || quote(creatinine) || ' ' || "
                  "quote(triglycerides) || ' ' || quote(cholesterol) || ' ' || quote(\"LDC-C\") || ' ' || "
                  "quote(\"HDL-C\") FROM patient"),
              "NULL 0.0 NULL NULL NULL NULL NULL");
    EXPECT_EQ(Files(AppPaths::RecordingDir(7, "LAO")), 3);
    EXPECT_EQ(Files(AppPaths::RecordingDir(7, "RAO")), 2);
    EXPECT_FALSE(QDir(AppPaths::RecordingDir(7, "IVUS")).exists()); // an empty series is not moved
    EXPECT_FALSE(QDir(AppPaths::CacheDir() + "/tmp").exists());
    EXPECT_EQ(MainForm->PatientCode, 7);
    EXPECT_EQ(MainForm->LAOFrameCount, 3);
    EXPECT_EQ(MainForm->RAOFrameCount, 2);
    EXPECT_EQ(MainForm->IVUSFrameCount, 0);
    EXPECT_TRUE(MainForm->ButtonEnabled(B::ANGIO));
    EXPECT_TRUE(MainForm->dxBarEdit1->text().contains("7 (John Doe)"));
}

TEST_F(WizardTest, BloodEditorsStartBlankAndCanBeClearedAgain)
{
    TWizardForm* w = Open();
    for (QDoubleSpinBox* box : w->cxDBSpinEdit)
        EXPECT_TRUE(box->text().trimmed().isEmpty()) << box->text().toStdString();
    // A typed value, then the text wiped out: blank again, not the old value nor 0.
    QDoubleSpinBox* glucose = w->cxDBSpinEdit[1];
    glucose->setFocus();
    glucose->selectAll();
    QTest::keyClicks(glucose, "5.5");
    QTest::keyClick(glucose, Qt::Key_Tab);
    EXPECT_DOUBLE_EQ(glucose->value(), 5.5);
    glucose->setFocus();
    glucose->selectAll();
    QTest::keyClick(glucose, Qt::Key_Delete);
    QTest::keyClick(glucose, Qt::Key_Tab);
    EXPECT_TRUE(glucose->text().trimmed().isEmpty()) << glucose->text().toStdString();
}

// The page's Next and Previous come back only with frames on the page: not after a "No"
// to the extraction, nor after a file that cannot be read, nor after an empty folder.
TEST_F(WizardTest, NavigationStaysOffUntilTheRecordingPageHasFrames)
{
    TWizardForm* w = Open();
    FillPatient(w, 9);
    w->cxButton1->click();
    ASSERT_EQ(w->CurrentPage(), 1);
    auto navigation = [w] { return std::pair(w->cxButton1->isEnabled(), w->cxButton2->isEnabled()); };
    const auto off = std::pair(false, false);
    const auto on = std::pair(true, true);

    const QString dicom = QStringLiteral(KESTROVA_TEST_DATA "/import/dicom/grey8_smooth.dcm");
    w->ChooseDicomFile = [dicom](QWidget*) { return dicom; };
    prompts_.answers = {false};
    w->Page(0).dicomBrowse->click();
    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages.back().kind, K::YesNo);
    EXPECT_EQ(navigation(), off) << "after No";

    ImportFolder(w, 0, 2);
    EXPECT_EQ(navigation(), on);

    const QString text = root_.filePath(QStringLiteral("notes.dcm"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a text file, not a recording\n");
    f.close();
    w->ChooseDicomFile = [text](QWidget*) { return text; };
    prompts_.Clear();
    w->Page(0).dicomBrowse->click();
    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages.back().kind, K::ErrorDialog);
    EXPECT_EQ(navigation(), off) << "after a file that cannot be read";

    ImportFolder(w, 0, 0);
    EXPECT_EQ(navigation(), off) << "after an empty folder";
    EXPECT_EQ(w->PlayerFrame1->FrameCount(), 0);

    ImportFolder(w, 0, 1);
    EXPECT_EQ(navigation(), on);
    w->cxButton1->click();
    EXPECT_EQ(w->CurrentPage(), 2);
}

TEST_F(WizardTest, FinishWithIvusStoresTheEndDiastolicList)
{
    TWizardForm* w = Open();
    FillPatient(w, 8);
    for (int i = 0; i < 3; ++i)
        w->cxButton1->click();
    ImportFolder(w, 2, 60);
    ASSERT_EQ(w->PlayerFrame3->FrameCount(), 60);
    EXPECT_TRUE(w->cxGroupBox6->isVisibleTo(w));

    // Nothing selected: refused, the wizard stays.
    prompts_.Clear();
    prompts_.answers = {true};
    w->cxButton1->click();
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[1].text, "You have to select at least one end-diastolic frame (or a shifted one)");
    EXPECT_EQ(WizardForm.data(), w);

    // Cancel at the question: nothing is written.
    prompts_.answers = {false};
    w->PlayerFrame3->SelectFrame(4);
    w->cxButton1->click();
    EXPECT_EQ(Sql("SELECT count(*) FROM patient"), "0");
    EXPECT_EQ(WizardForm.data(), w);

    w->PlayerFrame3->SelectFrame(30);
    w->PlayerFrame3->SelectFrame(57);
    prompts_.answers = {true};
    w->cxButton1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(WizardForm.isNull());
    EXPECT_EQ(Sql("SELECT telodiastolic || ':' || catheterCenterX || catheterCenterY || catheterEdgeX || catheterEdgeY "
                  "FROM ivus WHERE patientID = 8"),
              "4 30 57 -1:0000");
    EXPECT_EQ(MainForm->EndDiastolicFrames, (std::vector<std::uint32_t>{4, 30, 57}));
    EXPECT_EQ(MainForm->IVUSFrameCount, 3); // analysed frames: one per listed file
    EXPECT_EQ(Files(AppPaths::RecordingDir(8, "IVUS")), 60);
    EXPECT_EQ(MainForm->CalibrationDistance, 1.0);
    for (B b : {B::IVUS, B::Save, B::Export, B::Graphs, B::Reconstruction3D})
        EXPECT_TRUE(MainForm->ButtonEnabled(b));
}

TEST_F(WizardTest, AFailedSaveLeavesNoRows)
{
    TWizardForm* w = Open();
    FillPatient(w, 9);
    for (int i = 0; i < 3; ++i)
        w->cxButton1->click();
    ImportFolder(w, 2, 5);
    w->PlayerFrame3->SelectFrame(2);
    // Another card takes the code after the page was checked: the patient insert fails
    // after the ivus row went in.
    Sql("INSERT INTO patient(code, name) VALUES (9, 'Other')");
    prompts_.Clear();
    w->cxButton1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[1].kind, K::Error);
    EXPECT_EQ(prompts_.messages[1].text, "A problem occured while saving card");
    EXPECT_EQ(Sql("SELECT count(*) FROM ivus"), "0");
    EXPECT_EQ(Sql("SELECT name FROM patient"), "Other");
    EXPECT_TRUE(WizardForm.isNull());
}

TEST_F(WizardTest, AnExistingPatientFolderIsReportedNotMerged)
{
    TWizardForm* w = Open();
    FillPatient(w, 10);
    w->cxButton1->click();
    ImportFolder(w, 0, 2);
    QDir().mkpath(AppPaths::RecordingDir(10, "LAO"));
    {
        QFile f(AppPaths::RecordingDir(10, "LAO") + "keep.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (int i = 0; i < 2; ++i)
        w->cxButton1->click();
    prompts_.Clear();
    w->cxButton1->click(); // Finish
    bool reported = false;
    for (const auto& m : prompts_.messages)
        reported |= m.text == "An error occured while moving files from cache";
    EXPECT_TRUE(reported);
    EXPECT_EQ(Files(AppPaths::RecordingDir(10, "LAO")), 0);     // nothing merged in
    EXPECT_EQ(Files(AppPaths::CacheDir() + "/tmp/LAO/"), 2);    // the frames stay in the cache
}

TEST_F(WizardTest, OpeningClearsAnAbandonedStudy)
{
    studyimport::testing::WriteFlatFrames((AppPaths::CacheDir() + "/tmp/IVUS").toStdString(), "IVUS.", 3);
    Open();
    EXPECT_FALSE(QDir(AppPaths::CacheDir() + "/tmp/IVUS").exists());
}

TEST_F(WizardTest, F4TogglesTheShownFrameOnlyOnTheIvusPageWithFrames)
{
    TWizardForm* w = Open();
    QTest::keyClick(w, Qt::Key_F4); // page 0: nothing
    FillPatient(w, 11);
    for (int i = 0; i < 3; ++i)
        w->cxButton1->click();
    QTest::keyClick(w, Qt::Key_F4); // no IVUS recording: nothing
    EXPECT_TRUE(prompts_.messages.empty());
    ImportFolder(w, 2, 4);
    w->PlayerFrame3->ShowFrame(2);
    QTest::keyClick(w, Qt::Key_F4);
    EXPECT_TRUE(w->PlayerFrame3->IsFrameSelected(1));
    QTest::keyClick(w, Qt::Key_F4);
    EXPECT_FALSE(w->PlayerFrame3->IsFrameSelected(1));
}

TEST_F(WizardTest, Screenshot)
{
    MainForm->resize(1280, 800);
    TWizardForm* w = Open();
    FillPatient(w, 21);
    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    QCoreApplication::processEvents();
    EXPECT_TRUE(MainForm->grab().save(dir + "/wizard-patient-page.png"));
    for (int i = 0; i < 3; ++i)
        w->cxButton1->click();
    ImportFolder(w, 2, 6);
    w->PlayerFrame3->Timer1->stop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(MainForm->grab().save(dir + "/wizard-window.png"));
}

} // namespace
