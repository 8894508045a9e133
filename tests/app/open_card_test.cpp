#include "app_fixture.h"
#include "fake_windows.h"

#include "app/data.h"
#include "app/errors.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include <optional>

using B = TMainForm::Button;
using K = Prompter::Kind;

namespace {

ChildWindowRegistry AllWindows()
{
    ChildWindowRegistry r;
    r.Register(ChildWindow::IVUS, [](const WindowContext&) { return new FakeIvusForm; });
    r.Register(ChildWindow::ANGIO, [](const WindowContext&) { return new FakeAngioForm; });
    for (auto k : {ChildWindow::Graphs, ChildWindow::Viewer3D, ChildWindow::Wizard})
        r.Register(k, [](const WindowContext&) { return new FakeChildForm("Child"); });
    r.Register(ChildWindow::Export, [](const WindowContext&) { return new FakeChildForm("Export"); });
    return r;
}

} // namespace

class OpeningACard : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        dm = new Tdm;
        new TMainForm(AllWindows());
        MainForm->show();
        ASSERT_TRUE(dm->MyEmbConnection1.Connected());
    }

    // A recording folder with frame files numbered `frames` (nullopt: no folder).
    void MakeRecording(int code, const char* recording, const std::optional<std::vector<int>>& frames)
    {
        if (!frames)
            return;
        QDir().mkpath(AppPaths::RecordingDir(code, recording));
        for (int n : *frames)
            TouchFile(AppPaths::FrameFile(code, recording, n));
    }
};

TEST_F(OpeningACard, EdgeCasesAsOneTable)
{
    using Frames = std::optional<std::vector<int>>;
    const Frames none = std::nullopt;
    auto n = [](int count) { std::vector<int> v(count); for (int i = 0; i < count; ++i) v[i] = i; return Frames(v); };
    struct Msg { K kind; QString text; };
    struct Case {
        const char* name;
        Frames lao, rao, ivus;
        std::optional<QString> telodiastolic;     // nullopt: no ivus row
        bool calibrated;
        std::vector<Msg> messages;
        int laoCount, raoCount, ivusCount;
        std::vector<std::uint32_t> list;
        // IVUS, ANGIO, Graphs, 3D, Export after opening (ANGIO and Export start on and off)
        std::array<bool, 5> buttons;
        bool calibrationRead;
    };
    const QString ivusDir = AppPaths::RecordingDir(7, "IVUS");
    const Case cases[] = {
        {"full card", n(3), n(2), n(6), "1 3 5 -1", true, {}, 3, 2, 3, {1, 3, 5}, {true, true, true, true, true}, true},
        {"one file each, no ivus row", n(1), n(1), n(1), std::nullopt, false, {}, 1, 1, 1, {}, {true, true, true, true, true}, true},
        {"empty LAO folder", n(0), n(2), n(2), "0 -1", true,
         {{K::Error, "Patient's LAO images cannot be found"}}, 0, 0, 0, {}, {false, false, false, false, false}, false},
        {"listed frame missing", n(1), n(1), Frames(std::vector<int>{3}), "3 9 -1", true,
         {{K::Warning, ivusDir + "IVUS.9.jpg cannot be found!"}}, 1, 1, 2, {3, 9}, {true, true, true, true, true}, true},
        {"no ivus row: every IVUS file", n(1), n(1), n(4), std::nullopt, true, {}, 1, 1, 4, {}, {true, true, true, true, true}, true},
        {"empty stored list", n(1), n(1), n(4), "", true, {}, 1, 1, 4, {}, {true, true, true, true, true}, true},
        {"no LAO and RAO folders", none, none, n(2), std::nullopt, true,
         {{K::Warning, "Patient's LAO data are not defined"}, {K::Warning, "Patient's RAO data are not defined"}},
         0, 0, 2, {}, {true, true, true, true, true}, true},
        {"no LAO folder, RAO empty", none, n(0), n(2), std::nullopt, true,
         {{K::Warning, "Patient's LAO data are not defined"}, {K::Error, "Patient's RAO images cannot be found"}},
         0, 0, 0, {}, {false, false, false, false, false}, false},
        {"no IVUS folder", n(2), n(2), none, "1 -1", true,
         {{K::Warning, "Patient's IVUS data are not defined"}}, 2, 2, 0, {}, {false, true, false, false, true}, true},
        {"empty IVUS folder", n(2), n(2), n(0), std::nullopt, true,
         {{K::Error, "Patient's IVUS images cannot be found"}}, 2, 2, 0, {}, {false, true, false, false, false}, false},
        {"every listed file missing", n(2), n(2), Frames(std::vector<int>{0}), "4 -1", true,
         {{K::Warning, ivusDir + "IVUS.4.jpg cannot be found!"}, {K::Error, "Patient's IVUS images cannot be found"}},
         2, 2, 0, {4}, {false, true, false, false, false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(AppPaths::PatientDataDir()).removeRecursively();
        Sql("delete from patient; delete from ivus;");
        MakeRecording(7, "LAO", c.lao);
        MakeRecording(7, "RAO", c.rao);
        MakeRecording(7, "IVUS", c.ivus);
        if (c.calibrated)
            AddPatient(7, "John", "Doe", "calibrationPointAX, calibrationPointAY, calibrationPointBX, calibrationPointBY, "
                       "calibrationDistance", "10, 11, 20, 21, 2.5");
        else
            AddPatient(7, "John", "Doe");
        if (c.telodiastolic)
            Sql(QStringLiteral("insert into ivus(patientID, telodiastolic) values (7, '%1')").arg(*c.telodiastolic));

        // The previous card: its list and calibration must not survive.
        MainForm->PatientCode = 3;
        MainForm->EndDiastolicFrames = {8, 9};
        MainForm->CalibrationPointA = {5, 5};
        MainForm->CalibrationPointB = {6, 6};
        MainForm->CalibrationDistance = 3.0;
        MainForm->LAOFrameCount = MainForm->RAOFrameCount = MainForm->IVUSFrameCount = 0;
        MainForm->SetButtonEnabled(B::ANGIO, true);
        MainForm->SetButtonEnabled(B::Export, false);
        for (B b : {B::IVUS, B::Graphs, B::Reconstruction3D})
            MainForm->SetButtonEnabled(b, true);

        prompter_.Clear();
        bool cursorShownDuringMessage = false;
        prompter_.on_message = [&](const ScriptedPrompter::Record&) {
            cursorShownDuringMessage |= QApplication::overrideCursor() != nullptr;
        };
        MainForm->OpenPatientCard(7, "John Doe");
        prompter_.on_message = nullptr;

        ASSERT_EQ(prompter_.messages.size(), c.messages.size()) << prompter_.Texts().join(" | ").toStdString();
        for (std::size_t i = 0; i < c.messages.size(); ++i) {
            EXPECT_EQ(prompter_.messages[i].kind, c.messages[i].kind);
            EXPECT_EQ(prompter_.messages[i].text, c.messages[i].text);
            EXPECT_EQ(prompter_.messages[i].caption, "3D Kestrova v2.1");
        }
        EXPECT_FALSE(cursorShownDuringMessage);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(MainForm->GetSelectedPatient(), 7);
        EXPECT_EQ(MainForm->StatusPanel(0)->text(), "Selected patient: 7 (John Doe)");
        EXPECT_EQ(MainForm->dxBarEdit1->text(), "Selected patient: 7 (John Doe)");
        EXPECT_EQ(MainForm->LAOFrameCount, c.laoCount);
        EXPECT_EQ(MainForm->RAOFrameCount, c.raoCount);
        EXPECT_EQ(MainForm->IVUSFrameCount, c.ivusCount);
        EXPECT_EQ(MainForm->EndDiastolicFrames, c.list);
        const std::array<bool, 5> buttons = {MainForm->ButtonEnabled(B::IVUS), MainForm->ButtonEnabled(B::ANGIO),
                                             MainForm->ButtonEnabled(B::Graphs), MainForm->ButtonEnabled(B::Reconstruction3D),
                                             MainForm->ButtonEnabled(B::Export)};
        EXPECT_EQ(buttons, c.buttons);
        if (c.calibrationRead && c.calibrated) {
            EXPECT_EQ(MainForm->CalibrationPointA, (PixelPoint{10, 11}));
            EXPECT_EQ(MainForm->CalibrationPointB, (PixelPoint{20, 21}));
            EXPECT_DOUBLE_EQ(MainForm->CalibrationDistance, 2.5);
        } else if (c.calibrationRead) {
            EXPECT_EQ(MainForm->CalibrationPointA, (PixelPoint{0, 0}));
            EXPECT_DOUBLE_EQ(MainForm->CalibrationDistance, 0.0); // never calibrated: null reads 0
        } else {
            EXPECT_EQ(MainForm->CalibrationPointA, (PixelPoint{0, 0}));
            EXPECT_EQ(MainForm->CalibrationPointB, (PixelPoint{0, 0}));
            EXPECT_DOUBLE_EQ(MainForm->CalibrationDistance, 1.0);
        }
    }
}

TEST_F(OpeningACard, OnlyPlainJpgFilesCount)
{
    const QString dir = AppPaths::RecordingDir(7, "LAO");
    TouchFile(dir + "LAO.0.jpg");
    TouchFile(dir + "LAO.1.jpg");
    TouchFile(dir + "A.JPG");      // the pattern ignores case
    TouchFile(dir + ".x.jpg");     // hidden
    TouchFile(dir + "notes.txt");
    QDir().mkpath(dir + "d.jpg");  // a folder
    AddPatient(7, "John", "Doe");
    MainForm->OpenPatientCard(7, "John Doe");
    EXPECT_EQ(MainForm->LAOFrameCount, 3);
}

TEST_F(OpeningACard, AnsweringNoKeepsEverythingAndReopeningReloads)
{
    MakeRecording(7, "LAO", std::vector<int>{0});
    MakeRecording(7, "RAO", std::vector<int>{0});
    MakeRecording(7, "IVUS", std::vector<int>{0, 1});
    AddPatient(7, "John", "Doe");
    MainForm->OpenPatientCard(7, "John Doe");
    ASSERT_TRUE(prompter_.messages.empty());
    MainForm->dxBarLargeButton3Click(); // IVUS window
    ASSERT_FALSE(IVUSForm.isNull());

    prompter_.answers = {false};
    MainForm->OpenPatientCard(8, "Ann Roe");
    ASSERT_EQ(prompter_.Texts(), QStringList{"Close current card?"});
    EXPECT_EQ(prompter_.messages[0].kind, K::YesNo);
    EXPECT_EQ(MainForm->PatientCode, 7);
    EXPECT_FALSE(IVUSForm.isNull());
    EXPECT_EQ(MainForm->IVUSFrameCount, 2);

    // The open card again: asked (its counts are above 0), then reloaded; the IVUS window closes.
    TouchFile(AppPaths::FrameFile(7, "IVUS", 2));
    prompter_.Clear();
    prompter_.answers = {true};
    MainForm->OpenPatientCard(7, "John Doe");
    EXPECT_EQ(prompter_.Texts(), QStringList{"Close current card?"});
    EXPECT_TRUE(IVUSForm.isNull());
    EXPECT_EQ(MainForm->IVUSFrameCount, 3);
}

TEST_F(OpeningACard, DatabaseFailuresReachTheCaller)
{
    MakeRecording(7, "LAO", std::vector<int>{0});
    MakeRecording(7, "RAO", std::vector<int>{0});
    MakeRecording(7, "IVUS", std::vector<int>{0});
    Sql("insert into ivus(patientID, telodiastolic) values (7, '1 2')"); // not a point list
    EXPECT_THROW(MainForm->OpenPatientCard(7, "John Doe"), ConversionError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dm->MyEmbConnection1.Disconnect();
    MainForm->LAOFrameCount = 0;
    EXPECT_THROW(MainForm->OpenPatientCard(7, "John Doe"), DatabaseError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(OpeningACard, AnalysedFrameFileFollowsTheListThenTheFiles)
{
    MainForm->PatientCode = 7;
    MainForm->EndDiastolicFrames = {3, 9, 12};
    EXPECT_EQ(MainForm->AnalysedFrameFile(0), 3u);
    EXPECT_EQ(MainForm->AnalysedFrameFile(2), 12u);
    EXPECT_EQ(MainForm->AnalysedFrameFile(3), 3u);
    EXPECT_TRUE(MainForm->AnalysedFramePath(1).endsWith("patientData/7/IVUS/IVUS.9.jpg"));
    MainForm->EndDiastolicFrames.clear();
    EXPECT_EQ(MainForm->AnalysedFrameFile(5), 5u);
}

TEST_F(OpeningACard, ReloadReadsTheStoredCardSilently)
{
    MakeRecording(7, "LAO", std::vector<int>{0, 1});
    MakeRecording(7, "IVUS", std::vector<int>{0, 1, 2, 3, 4});
    AddPatient(7, "John", "Doe", "calibrationDistance", "4.5");
    Sql("insert into ivus(patientID, telodiastolic) values (7, '1 3 -1')");
    // As the wizard leaves it: every frame counted, the list in memory only.
    MainForm->SetSelectedPatient(7, "John Doe");
    MainForm->IVUSFrameCount = 5;
    MainForm->LAOFrameCount = 2;
    MainForm->ReloadOpenCard();
    EXPECT_TRUE(prompter_.messages.empty()); // not even the missing RAO folder
    EXPECT_EQ(MainForm->IVUSFrameCount, 2);
    EXPECT_EQ(MainForm->EndDiastolicFrames, (std::vector<std::uint32_t>{1, 3}));
    EXPECT_DOUBLE_EQ(MainForm->CalibrationDistance, 4.5);
    EXPECT_EQ(MainForm->StatusPanel(0)->text(), "Selected patient: 7 (John Doe)");
    // The test's prompter is back in place.
    MainForm->OpenPatientCard(7, "John Doe");
    EXPECT_FALSE(prompter_.messages.empty());
}
