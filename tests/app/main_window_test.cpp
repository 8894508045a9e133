#include "app_fixture.h"
#include "fake_windows.h"

#include "app/about.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/small_forms.h"
#include "app/splash.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTimer>
#include <QProcess>
#include <QToolBar>
#include <QtTest/QTest>

#include <unistd.h>

using B = TMainForm::Button;

class MainWindow : public AppTest {
protected:
    // Registers every kind; a factory set in `fail` throws instead of building a window.
    ChildWindowRegistry Registry(bool all = true)
    {
        ChildWindowRegistry r;
        if (!all)
            return r;
        r.Register(ChildWindow::IVUS, [this](const WindowContext&) -> QWidget* {
            if (fail_ivus)
                throw std::runtime_error("no frames");
            return new FakeIvusForm;
        });
        r.Register(ChildWindow::ANGIO, [](const WindowContext&) { return new FakeAngioForm; });
        r.Register(ChildWindow::Graphs, [](const WindowContext&) { return new FakeChildForm("GraphForm"); });
        r.Register(ChildWindow::Viewer3D, [this](const WindowContext&) {
            ++viewer_created;
            return new FakeChildForm("ViewerForm");
        });
        r.Register(ChildWindow::Wizard, [](const WindowContext&) { return new FakeChildForm("WizardForm"); });
        r.Register(ChildWindow::Export, [](const WindowContext&) -> QWidget* {
            auto* d = new QDialog;
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        });
        return r;
    }

    void Start(bool all = true)
    {
        dm = new Tdm;
        new TMainForm(Registry(all));
        ASSERT_EQ(MainForm->objectName(), "MainForm");
        MainForm->show();
    }

    bool On(B b) const { return MainForm->ButtonEnabled(b); }

    bool fail_ivus = false;
    int viewer_created = 0;
};

TEST_F(MainWindow, ToolbarItemsCarryTheirNamesCaptionsHintsAndStartState)
{
    Start();
    struct Row { int n; const char* caption; const char* hint; bool enabled; };
    const Row rows[] = {
        {1, "Settings", "Application settings", true},
        {2, "Exit", "Quit application", true},
        {3, "IVUS", "Edit IVUS", false},
        {4, "ANGIO", "Edit ANGIO", false},
        {5, "About", "About the 3D Morvessa application", true},
        {6, "Database", "Patients database management", true},
        {7, "New", "Create new patient card", true},
        {8, "Cards", "Open / Edit patient card", true},
        {9, "Save", "Save current patient card", false},
        {10, "Export", "Export current patient data for Rhino 3D", false},
        {11, "IVUS Graphs", "IVUS Graphs", false},
        {12, "3D reconstruction", "3D reconstruction", false},
    };
    for (const Row& r : rows) {
        auto* a = MainForm->findChild<QAction*>(QStringLiteral("dxBarLargeButton%1").arg(r.n));
        ASSERT_NE(a, nullptr) << r.n;
        EXPECT_EQ(a->text(), r.caption);
        EXPECT_EQ(a->toolTip(), r.hint);
        EXPECT_EQ(a->isEnabled(), r.enabled) << r.caption;
    }
    EXPECT_EQ(MainForm->windowTitle(), "3D Kestrova v2.1");
    EXPECT_EQ(MainForm->PatientCode, -1);
    EXPECT_EQ(MainForm->CalibrationDistance, 1.0);
    EXPECT_EQ(MainForm->dxBarEdit1->text(), "<No patient selected>");
    EXPECT_FALSE(MainForm->dxBarEdit1->isVisible());
    EXPECT_EQ(MainForm->StatusPanel(0)->text(), "");
    // The bars and what they hold.
    auto bar = [](const char* name) { return MainForm->findChild<QToolBar*>(name); };
    ASSERT_TRUE(bar("Patient menu") && bar("3D IVUS menu") && bar("Settings menu"));
    auto names = [](QToolBar* t) {
        QStringList out;
        for (QAction* a : t->actions())
            if (!a->objectName().isEmpty() && a->objectName().startsWith("dxBar"))
                out << a->text();
        return out;
    };
    EXPECT_EQ(names(bar("Patient menu")), QStringList({"New", "Cards", "Save"}));
    EXPECT_EQ(names(bar("3D IVUS menu")), QStringList({"ANGIO", "IVUS", "Export", "IVUS Graphs"}));
    EXPECT_EQ(names(bar("Settings menu")), QStringList({"3D reconstruction", "About", "Exit"}));
}

TEST_F(MainWindow, UnregisteredWindowsKeepTheirButtonsDisabled)
{
    Start(false);
    EXPECT_FALSE(On(B::New));
    MainForm->SetButtonEnabled(B::IVUS, true);
    MainForm->SetButtonEnabled(B::Save, true);
    EXPECT_FALSE(On(B::IVUS));
    EXPECT_TRUE(On(B::Save));
    EXPECT_TRUE(On(B::Cards));
}

TEST_F(MainWindow, ButtonEventsSwitchTheToolbarAsTheTableSays)
{
    // event -> expected (IVUS, ANGIO, Save, Export, Graphs, 3D) starting from all off
    struct Case { const char* event; std::function<void(MainWindow*)> run; bool fail; std::array<bool, 6> after; };
    const Case cases[] = {
        {"IVUS button", [](MainWindow*) { MainForm->dxBarLargeButton3Click(); }, false, {false, false, true, true, true, true}},
        {"IVUS button, window fails", [](MainWindow*) { MainForm->dxBarLargeButton3Click(); }, true, {false, false, true, true, true, true}},
        {"ANGIO button", [](MainWindow*) { MainForm->dxBarLargeButton4Click(); }, false, {false, false, true, true, false, false}},
    };
    for (const auto& c : cases) {
        Start();
        prompter_.Clear();
        fail_ivus = c.fail;
        c.run(this);
        const B order[] = {B::IVUS, B::ANGIO, B::Save, B::Export, B::Graphs, B::Reconstruction3D};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(On(order[i]), c.after[i]) << c.event << " button " << i;
        if (c.fail) {
            ASSERT_EQ(prompter_.messages.size(), 1u);
            EXPECT_EQ(prompter_.messages[0].text, "A problem occured while opening window!no frames");
            EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::ErrorDialog);
            EXPECT_TRUE(IVUSForm.isNull());
        } else {
            EXPECT_TRUE(prompter_.messages.empty());
        }
        delete MainForm.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete dm.data();
        IVUSForm = nullptr;
        ANGIOForm = nullptr;
    }
}

// Save is on while an IVUS or angiography window is open, whichever closes first, and
// after a new card; the wizard and a deleted card turn it off. The windows only report.
TEST_F(MainWindow, TheMainWindowAloneSwitchesSaveFromWhatHappened)
{
    Start();
    MainForm->dxBarLargeButton3Click();  // IVUS
    MainForm->dxBarLargeButton4Click();  // ANGIO
    ASSERT_TRUE(IVUSForm && ANGIOForm);
    EXPECT_TRUE(On(B::Save));
    TMainForm::CloseChildWindow(IVUSForm);
    EXPECT_TRUE(IVUSForm.isNull());
    EXPECT_TRUE(On(B::Save)) << "the angiography window is still open";
    TMainForm::CloseChildWindow(ANGIOForm);
    EXPECT_FALSE(On(B::Save));

    MainForm->dxBarLargeButton3Click();
    ASSERT_TRUE(On(B::Save) && On(B::Export) && On(B::Graphs) && On(B::Reconstruction3D));
    MainForm->dxBarLargeButton7Click();  // the wizard
    ASSERT_FALSE(WizardForm.isNull());
    for (B b : {B::Save, B::Export, B::Graphs, B::Reconstruction3D})
        EXPECT_FALSE(On(b)) << static_cast<int>(b);
    MainForm->dxBarLargeButton7Click();  // brought forward, nothing switched again
    MainForm->SetButtonEnabled(B::Save, true);
    MainForm->dxBarLargeButton7Click();
    EXPECT_TRUE(On(B::Save));

    // A deleted card closes both analysis windows and switches its buttons off.
    MainForm->dxBarLargeButton4Click();
    ASSERT_TRUE(IVUSForm && ANGIOForm);
    emit MainForm->Signals()->cardDeleted();
    EXPECT_TRUE(IVUSForm.isNull());
    EXPECT_TRUE(ANGIOForm.isNull());
    for (B b : {B::ANGIO, B::IVUS, B::Graphs, B::Export, B::Save})
        EXPECT_FALSE(On(b)) << static_cast<int>(b);
    EXPECT_TRUE(prompter_.messages.empty());
}

// What the windows report lands in the open card and the status bar, and the context a
// factory gets points at them.
TEST_F(MainWindow, WindowsReportThroughTheirContext)
{
    const OpenCard* seenCard = nullptr;
    Tdm* seenData = nullptr;
    QWidget* seenOwner = nullptr;
    ChildWindowRegistry r;
    r.Register(ChildWindow::IVUS, [](const WindowContext&) { return new FakeIvusForm; });
    r.Register(ChildWindow::Graphs, [&](const WindowContext& c) {
        seenCard = c.Card;
        seenData = c.Data;
        seenOwner = c.Owner;
        EXPECT_FALSE(c.AnalysisWindowsOpen());
        return new FakeChildForm("GraphForm");
    });
    dm = new Tdm;
    new TMainForm(r);
    MainForm->show();
    MainForm->dxBarLargeButton11Click();
    EXPECT_EQ(seenCard, static_cast<const OpenCard*>(MainForm.data()));
    EXPECT_EQ(seenData, dm.data());
    EXPECT_EQ(seenOwner, MainForm.data());

    WindowSignals* report = MainForm->Signals();
    emit report->calibrationChanged({10, 20}, {30, 40}, 2.5);
    EXPECT_EQ(MainForm->CalibrationPointA, (PixelPoint{10, 20}));
    EXPECT_EQ(MainForm->CalibrationPointB, (PixelPoint{30, 40}));
    EXPECT_DOUBLE_EQ(MainForm->CalibrationDistance, 2.5);
    emit report->statusText("IVUS.3.jpg");
    EXPECT_EQ(MainForm->StatusPanel(1)->text(), "IVUS.3.jpg");
    emit report->patientSelected(12, "Ann Roe");
    EXPECT_EQ(MainForm->PatientCode, 12);
    EXPECT_EQ(MainForm->StatusPanel(0)->text(), "Selected patient: 12 (Ann Roe)");
    MainForm->EndDiastolicFrames = {4, 8};
    emit report->endDiastolicListCleared();
    EXPECT_TRUE(MainForm->EndDiastolicFrames.empty());
    emit report->recordingsImported(false, true);
    EXPECT_FALSE(On(B::ANGIO));
    EXPECT_TRUE(On(B::IVUS));
}

TEST_F(MainWindow, ChildWindowsOpenOnceAndComeBackFromMinimised)
{
    Start();
    MainForm->dxBarLargeButton1Click();
    ASSERT_FALSE(SettingsForm.isNull());
    EXPECT_EQ(SettingsForm->windowTitle(), "SettingsForm");
    EXPECT_EQ(SettingsForm->size(), QSize(634, 473));
    MainForm->dxBarLargeButton6Click();
    ASSERT_FALSE(PatientForm.isNull());
    EXPECT_EQ(PatientForm->windowTitle(), "PatientForm");
    SettingsForm->showMinimized();
    ASSERT_TRUE(SettingsForm->isMinimized());
    TSettingsForm* first = SettingsForm;
    MainForm->dxBarLargeButton1Click();
    EXPECT_EQ(SettingsForm.data(), first);
    EXPECT_FALSE(SettingsForm->isMinimized());
    EXPECT_EQ(MainForm->MdiArea()->subWindowList().size(), 2);
    // Closing clears the pointer at once.
    SettingsForm->close();
    EXPECT_TRUE(SettingsForm.isNull());
    EXPECT_FALSE(MainForm->ShowExistingChild("TSettingsForm") && SettingsForm);
}

TEST_F(MainWindow, BackgroundPictureSitsUnscaledAtTheTopLeft)
{
    {
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(QColor(200, 0, 0));
        ASSERT_TRUE(img.save(AppPaths::BackgroundFile()));
    }
    Start();
    MainForm->resize(800, 600);
    QApplication::processEvents();
    QImage shot = MainForm->MdiArea()->viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(39, 29)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(45, 5)), QColor(Qt::white));
    EXPECT_EQ(QColor(shot.pixel(300, 300)), QColor(Qt::white));
    delete MainForm.data();
    QFile::remove(AppPaths::BackgroundFile());
    new TMainForm(Registry());
    MainForm->resize(800, 600);
    MainForm->show();
    shot = MainForm->MdiArea()->viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(Qt::white));
}

TEST_F(MainWindow, FirstShowConnectsAndClosesTheSplash)
{
    new TSplashScreen;
    SplashScreen->show();
    Start();
    EXPECT_TRUE(dm->MyEmbConnection1.Connected());
    EXPECT_TRUE(QFile::exists(AppPaths::DatabaseFile()));
    EXPECT_TRUE(SplashScreen.isNull());
    EXPECT_TRUE(prompter_.messages.empty());
    // A later show does not connect again.
    MainForm->hide();
    MainForm->show();
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(MainWindow, ConnectFailureIsReportedAndTheProgramRunsOn)
{
    QDir().mkpath(AppPaths::DatabaseFile()); // a folder where the database file should be
    Start();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, "An error occured while trying to connect to the database");
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::Error);
    EXPECT_EQ(prompter_.messages[0].caption, "3D Kestrova v2.1");
    EXPECT_TRUE(MainForm->isVisible());
    prompter_.Clear();
    // Windows that need the database fail to open, with the reason.
    MainForm->Action(B::Cards)->trigger();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_TRUE(prompter_.messages[0].text.startsWith("A problem occured while opening window!"));
    EXPECT_TRUE(CardsForm.isNull());
    // The save fails instead of reporting success.
    prompter_.Clear();
    IVUSForm = new FakeIvusForm;
    MainForm->Action(B::Save)->setEnabled(true);
    MainForm->Action(B::Save)->trigger();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::ErrorDialog);
    EXPECT_FALSE(prompter_.Texts().contains("Save completed successfully"));
    delete IVUSForm.data();
}

// Makes files and folders read-only for the length of a test, also for root (which file
// modes do not stop): as root through the immutable attribute.
class ReadOnlyPaths {
public:
    ~ReadOnlyPaths()
    {
        for (const QString& p : paths_)
            Set(p, false);
    }
    bool Add(const QString& path)
    {
        if (!Set(path, true))
            return false;
        paths_ << path;
        return true;
    }

private:
    static bool Set(const QString& path, bool readOnly)
    {
        if (geteuid() == 0)
            return QProcess::execute(QStringLiteral("chattr"), {readOnly ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
        QFile f(path);
        const auto write = QFileDevice::WriteOwner | QFileDevice::WriteUser;
        return f.setPermissions(readOnly ? f.permissions() & ~write : f.permissions() | write);
    }
    QStringList paths_;
};

TEST_F(MainWindow, AReadOnlyDataFolderIsReportedOnceAtStart)
{
    ConnectDatabase(); // a data folder with its database, as a previous start left it
    dm->MyEmbConnection1.Disconnect();
    delete dm.data();
    QDir().mkpath(AppPaths::PatientDataDir());
    ReadOnlyPaths readOnly;
    if (!readOnly.Add(AppPaths::DatabaseFile()) || !readOnly.Add(AppPaths::DataDir()) ||
        !readOnly.Add(AppPaths::PatientDataDir()))
        GTEST_SKIP() << "cannot make the data folder read-only here";

    Start();
    ASSERT_EQ(prompter_.messages.size(), 1u) << prompter_.Texts().join('|').toStdString();
    const ScriptedPrompter::Record& m = prompter_.messages[0];
    EXPECT_EQ(m.kind, Prompter::Kind::Warning);
    EXPECT_TRUE(m.text.contains(QDir::toNativeSeparators(AppPaths::DatabaseFile()))) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(QDir::toNativeSeparators(AppPaths::PatientDataDir()))) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains("nothing can be saved")) << m.text.toStdString();
    // The cards can still be read.
    EXPECT_TRUE(dm->MyEmbConnection1.Connected());
    MainForm->hide();
    MainForm->show();
    EXPECT_EQ(prompter_.messages.size(), 1u);
}

TEST_F(MainWindow, QuitAsksAndNoKeepsEverything)
{
    Start();
    MainForm->dxBarLargeButton1Click();
    MainForm->dxBarLargeButton6Click();
    prompter_.answers = {false};
    EXPECT_FALSE(MainForm->close());
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, "Quit 3D Kestrova?");
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::YesNo);
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_FALSE(SettingsForm.isNull());
    EXPECT_TRUE(dm->MyEmbConnection1.Connected());
    prompter_.answers = {true};
    MainForm->Action(B::Exit)->trigger();
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_TRUE(SettingsForm.isNull());
    EXPECT_TRUE(PatientForm.isNull());
    EXPECT_FALSE(dm->MyEmbConnection1.Connected());
}

TEST_F(MainWindow, ThreeDRefusedWithoutBothCatheters)
{
    Start();
    ConnectDatabase();
    MainForm->SetSelectedPatient(7, "John Doe");
    MainForm->SetButtonEnabled(B::Reconstruction3D, true);
    Sql("insert into angio(patientID, LcatheterX, LcatheterY, RcatheterX, RcatheterY) values (7, '', '', '1 2 -1', '3 4 -1')");
    MainForm->Action(B::Reconstruction3D)->trigger();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, "Cannot construct 3D because you have not defined the LAO or/and RAO catheter");
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::Plain);
    EXPECT_EQ(viewer_created, 0);
    Sql("update angio set LcatheterX='5 -1', LcatheterY='6 -1'");
    prompter_.Clear();
    MainForm->Action(B::Reconstruction3D)->trigger();
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_EQ(viewer_created, 1);
    EXPECT_FALSE(ViewerForm.isNull());
    MainForm->Action(B::Reconstruction3D)->trigger(); // open: brought forward, not built again
    EXPECT_EQ(viewer_created, 1);
}

TEST_F(MainWindow, ModalWindowsOpenAndAreFreedWhenClosed)
{
    Start();
    QTimer::singleShot(0, [] {
        if (AboutForm) {
            EXPECT_TRUE(AboutForm->isModal());
            AboutForm->close();
        }
    });
    MainForm->Action(B::About)->trigger();
    EXPECT_TRUE(AboutForm.isNull());
    MainForm->SetButtonEnabled(B::Export, true);
    MainForm->Action(B::Export)->trigger();
    EXPECT_TRUE(ExportForm.isNull());
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(MainWindow, SaveReportsSuccessWithNothingOpen)
{
    Start();
    MainForm->SetButtonEnabled(B::Save, true);
    MainForm->Action(B::Save)->trigger();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, "Save completed successfully");
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::Info);
}

TEST_F(MainWindow, SecondStartBringsTheWindowBack)
{
    Start();
    MainForm->showMinimized();
    QApplication::processEvents();
    MainForm->AppMessageHook();
    EXPECT_FALSE(MainForm->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(MainForm->isVisible());
}
