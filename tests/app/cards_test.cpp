#include "app_fixture.h"
#include "fake_windows.h"

#include "app/cards.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTabWidget>
#include <QtTest/QTest>

using B = TMainForm::Button;

class CardsList : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ChildWindowRegistry r;
        r.Register(ChildWindow::IVUS, [](const WindowContext&) { return new FakeIvusForm; });
        r.Register(ChildWindow::ANGIO, [](const WindowContext&) { return new FakeAngioForm; });
        r.Register(ChildWindow::Graphs, [](const WindowContext&) { return new FakeChildForm("GraphForm"); });
        r.Register(ChildWindow::Viewer3D, [](const WindowContext&) { return new FakeChildForm("ViewerForm"); });
        r.Register(ChildWindow::Export, [](const WindowContext&) { return new FakeChildForm("ExportForm"); });
        dm = new Tdm;
        new TMainForm(std::move(r));
        MainForm->show();
        ASSERT_TRUE(dm->MyEmbConnection1.Connected());
    }

    void AddThree()
    {
        AddPatient(7, "John", "Doe", "sex, glucose", "'m', 5.5");
        AddPatient(12, "Ann", "Roe", "sex", "'f'");
        AddPatient(31, "Peter", "Novak");
    }

    TCardsForm* OpenList()
    {
        MainForm->Action(B::Cards)->trigger();
        EXPECT_FALSE(CardsForm.isNull());
        return CardsForm;
    }

    int Row(int code)
    {
        for (int r = 0; r < CardsForm->RowCount(); ++r)
            if (CardsForm->Proxy()->index(r, CardsForm->Model()->fieldIndex("code")).data().toInt() == code)
                return r;
        return -1;
    }
};

TEST_F(CardsList, WindowLayout)
{
    AddThree();
    TCardsForm* f = OpenList();
    EXPECT_EQ(f->windowTitle(), "Open patient card");
    EXPECT_EQ(f->size(), QSize(876, 573));
    EXPECT_EQ(f->dxBarLargeButton1->text(), "Open card");
    EXPECT_EQ(f->dxBarLargeButton2->toolTip(), "Edit card");
    EXPECT_TRUE(f->dxBarLargeButton2->isCheckable());
    EXPECT_EQ(f->dxBarLargeButton3->text(), "Delete card");
    EXPECT_EQ(f->Pages->tabText(0), "Tabular view");
    EXPECT_EQ(f->Pages->tabText(1), "Card View");
    EXPECT_EQ(f->RowCount(), 3);
    // Read-only until Edit card is down; the code never.
    const QModelIndex glucose = f->Proxy()->index(0, f->Model()->fieldIndex("glucose"));
    const QModelIndex code = f->Proxy()->index(0, f->Model()->fieldIndex("code"));
    EXPECT_FALSE(f->Proxy()->flags(glucose) & Qt::ItemIsEditable);
    f->dxBarLargeButton2->trigger();
    EXPECT_TRUE(f->Proxy()->flags(glucose) & Qt::ItemIsEditable);
    EXPECT_FALSE(f->Proxy()->flags(code) & Qt::ItemIsEditable);
    f->dxBarLargeButton2->trigger();
    EXPECT_FALSE(f->Proxy()->flags(glucose) & Qt::ItemIsEditable);
    // Both views share the current row; the filter narrows the cards.
    f->SetCurrentRow(Row(12));
    EXPECT_EQ(f->cxGrid1DBCardView1->currentIndex().row(), Row(12));
    f->FilterBox->setText("roe");
    EXPECT_EQ(f->RowCount(), 1);
    f->FilterBox->clear();
    EXPECT_EQ(f->RowCount(), 3);
    // One cards list at a time.
    MainForm->Action(B::Cards)->trigger();
    EXPECT_EQ(CardsForm.data(), f);
    EXPECT_EQ(MainForm->MdiArea()->subWindowList().size(), 1);
}

TEST_F(CardsList, EmptyListAsksNothing)
{
    TCardsForm* f = OpenList();
    f->dxBarLargeButton1->trigger();
    f->dxBarLargeButton3->trigger();
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_FALSE(CardsForm.isNull());
    EXPECT_EQ(MainForm->PatientCode, -1);
}

TEST_F(CardsList, DeleteRemovesOnlyThePatientRow)
{
    AddThree();
    Sql("insert into ivus(patientID, telodiastolic) values (7, '0 -1')");
    Sql("insert into outerWall(patientID, frame, outerWallX, outerWallY, userOuterWallX, userOuterWallY) "
        "values (7, 0, '1 -1', '1 -1', '1 -1', '1 -1')");
    QDir().mkpath(AppPaths::RecordingDir(7, "IVUS"));
    // Card 12 is open with both analysis windows; 3D is on.
    MainForm->SetSelectedPatient(12, "Ann Roe");
    MainForm->SetButtonEnabled(B::IVUS, true);
    MainForm->SetButtonEnabled(B::ANGIO, true);
    MainForm->dxBarLargeButton3Click();
    MainForm->dxBarLargeButton4Click();
    ASSERT_TRUE(IVUSForm && ANGIOForm);
    ASSERT_TRUE(MainForm->ButtonEnabled(B::Reconstruction3D));

    TCardsForm* f = OpenList();
    f->SetCurrentRow(Row(7));
    prompter_.answers = {false};
    f->dxBarLargeButton3->trigger();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Do you want to permanetly delete patient 7 John Doe?"});
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::YesNo);
    EXPECT_EQ(Sql("select count(*) from patient"), "3");
    EXPECT_TRUE(IVUSForm && ANGIOForm);

    prompter_.Clear();
    prompter_.answers = {true};
    f->dxBarLargeButton3->trigger();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Do you want to permanetly delete patient 7 John Doe?"});
    EXPECT_EQ(Sql("select count(*) from patient where code=7"), "0");
    EXPECT_EQ(Sql("select count(*) from patient"), "2");
    EXPECT_EQ(Sql("select count(*) from ivus where patientID=7"), "1");
    EXPECT_EQ(Sql("select count(*) from outerWall where patientID=7"), "1");
    EXPECT_TRUE(QDir(AppPaths::RecordingDir(7, "IVUS")).exists());
    EXPECT_EQ(f->RowCount(), 2);
    EXPECT_EQ(Row(7), -1);
    EXPECT_TRUE(IVUSForm.isNull());
    EXPECT_TRUE(ANGIOForm.isNull());
    for (B b : {B::ANGIO, B::IVUS, B::Graphs, B::Export, B::Save})
        EXPECT_FALSE(MainForm->ButtonEnabled(b)) << static_cast<int>(b);
    EXPECT_TRUE(MainForm->ButtonEnabled(B::Reconstruction3D));
    EXPECT_EQ(MainForm->PatientCode, 12); // the open card is not reset
}

TEST_F(CardsList, ReleasingEditPostsTheTypedValue)
{
    AddThree();
    TCardsForm* f = OpenList();
    f->Pages->setCurrentIndex(0);
    f->dxBarLargeButton2->trigger(); // down
    const int row = Row(7);
    const QModelIndex glucose = f->Proxy()->index(row, f->Model()->fieldIndex("glucose"));
    const QModelIndex surname = f->Proxy()->index(row, f->Model()->fieldIndex("surname"));
    f->cxGrid1DBTableView1->setCurrentIndex(surname);
    f->cxGrid1DBTableView1->edit(surname);
    auto* editor = qobject_cast<QLineEdit*>(f->cxGrid1DBTableView1->indexWidget(surname));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->maxLength(), 50);
    editor->selectAll();
    QTest::keyClicks(editor, "Dowe");
    f->dxBarLargeButton2->trigger(); // up: posts the pending edit
    EXPECT_FALSE(f->dxBarLargeButton2->isChecked());
    EXPECT_EQ(Sql("select surname from patient where code=7"), "Dowe");

    // Moving to another row posts too.
    f->dxBarLargeButton2->trigger();
    ASSERT_TRUE(f->Proxy()->setData(glucose, 6.25));
    EXPECT_EQ(Sql("select glucose from patient where code=7"), "5.5");
    f->SetCurrentRow(Row(12));
    f->cxGrid1DBTableView1->setCurrentIndex(f->Proxy()->index(Row(12), f->Model()->fieldIndex("surname")));
    EXPECT_EQ(Sql("select glucose from patient where code=7"), "6.25");

    // The gender is chosen from Male and Female and stored as m or f.
    const QModelIndex sex = f->Proxy()->index(Row(31), f->Model()->fieldIndex("sex"));
    f->cxGrid1DBTableView1->setCurrentIndex(sex);
    f->cxGrid1DBTableView1->edit(sex);
    auto* box = qobject_cast<QComboBox*>(f->cxGrid1DBTableView1->indexWidget(sex));
    ASSERT_NE(box, nullptr);
    box->setCurrentIndex(box->findText("Female"));
    f->dxBarLargeButton2->trigger();
    EXPECT_EQ(Sql("select sex from patient where code=31"), "f");
}

TEST_F(CardsList, OpenCardOpensTheCurrentPatientAndCloses)
{
    AddThree();
    QDir().mkpath(AppPaths::RecordingDir(12, "LAO"));
    TouchFile(AppPaths::FrameFile(12, "LAO", 0));
    TCardsForm* f = OpenList();
    f->SetCurrentRow(Row(12));
    f->dxBarLargeButton1->trigger();
    EXPECT_TRUE(CardsForm.isNull());
    EXPECT_EQ(MainForm->PatientCode, 12);
    EXPECT_EQ(MainForm->StatusPanel(0)->text(), "Selected patient: 12 (Ann Roe)");
    EXPECT_EQ(MainForm->LAOFrameCount, 1);
    EXPECT_TRUE(prompter_.Texts().contains("Patient's RAO data are not defined"));

    // Declining "Close current card?" keeps the card, and the list still closes.
    prompter_.Clear();
    prompter_.answers = {false};
    f = OpenList();
    f->SetCurrentRow(Row(7));
    f->dxBarLargeButton1->trigger();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Close current card?"});
    EXPECT_EQ(MainForm->PatientCode, 12);
    EXPECT_TRUE(CardsForm.isNull());
}
