#include "app_fixture.h"
#include "fake_windows.h"

#include "app/card_store.h"
#include "app/data.h"
#include "app/errors.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"

#include <QDir>

namespace {

WallContour Square(int base, int n)
{
    WallContour c;
    for (int i = 0; i < n; ++i)
        c.push_back({base + i, base + 100 + i});
    return c;
}

// Frame 0: both walls; frame 1: inner wall only; frame 2: nothing; frame 3: outer wall
// whose initial contour is shorter than the shown one.
IvusSnapshot Snapshot()
{
    IvusSnapshot s;
    s.CatheterCentre = {250, 251};
    s.CatheterEdge = {260, 262};
    s.OuterWalls = {Square(10, 3), {}, {}, Square(40, 2)};
    s.UserOuterWalls = {Square(11, 3), {}, {}, Square(41, 1)};
    s.InnerWalls = {Square(20, 2), Square(30, 2), {}, {}};
    s.UserInnerWalls = {Square(21, 2), Square(31, 2), {}, {}};
    return s;
}

AngioSnapshot Angio()
{
    AngioSnapshot a;
    a.LAO.CatheterPoints = {{1, 2}, {3, 4}};
    a.LAO.LumenBPoints = {{-5, 6}};
    a.LAO.WidthPoints = {{7, 8}, {9, 10}};
    a.LAO.FrameNumber = 12;
    a.RAO.CatheterPoints = {{11, 12}};
    a.RAO.FrameNumber = 3;
    return a;
}

} // namespace

class SaveCardTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ConnectDatabase();
        AddPatient(7, "John", "Doe");
    }

    QString Walls() const
    {
        return Sql("select 'O', frame, telodiastolicFrame, outerWallX, outerWallY, userOuterWallX, userOuterWallY "
                   "from outerWall where patientID=7 union all "
                   "select 'I', frame, telodiastolicFrame, innerWallX, innerWallY, userInnerWallX, userInnerWallY "
                   "from innerWall where patientID=7 order by 1, 2");
    }
};

TEST_F(SaveCardTest, TwiceGivesTheSameRowsWithNewIdsAndKeepsTheList)
{
    Sql("insert into ivus(patientID, telodiastolic) values (7, '10 20 30 40 -1')");
    const std::vector<std::uint32_t> list = {10, 20, 30, 40};
    const IvusSnapshot s = Snapshot();
    SaveCard(*dm, 7, list, nullptr, &s);
    const QString expected =
        "I|0|10|20 21 -1|120 121 -1|21 22 -1|121 122 -1\n"
        "I|1|20|30 31 -1|130 131 -1|31 32 -1|131 132 -1\n"
        "O|0|10|10 11 12 -1|110 111 112 -1|11 12 13 -1|111 112 113 -1\n"
        "O|3|40|40 41 -1|140 141 -1|40 41 -1|140 141 -1";
    EXPECT_EQ(Walls(), expected);
    const QString firstIds = Sql("select group_concat(id) from outerWall");
    SaveCard(*dm, 7, list, nullptr, &s);
    EXPECT_EQ(Walls(), expected);
    EXPECT_EQ(Sql("select count(*) from outerWall"), "2");
    EXPECT_GT(Sql("select min(id) from outerWall").toInt(), firstIds.section(',', -1).toInt());
    EXPECT_EQ(Sql("select count(*), quote(telodiastolic), catheterCenterX, catheterCenterY, catheterEdgeX, catheterEdgeY "
                  "from ivus"),
              "1|'10 20 30 40 -1'|250|251|260|262");
    EXPECT_EQ(Sql("select count(*) from angio"), "0"); // the angio row is not touched
}

TEST_F(SaveCardTest, FirstSaveInsertsRowsAndEmptyListsStoreEmptyTexts)
{
    const AngioSnapshot a = Angio();
    SaveCard(*dm, 7, {}, &a, nullptr);
    EXPECT_EQ(Sql("select quote(LcatheterX), quote(LcatheterY), quote(LlumenAX), quote(LlumenAY), LlumenBX, LlumenBY, "
                  "LwidthX, LwidthY, RcatheterX, RcatheterY, quote(RwidthX), LAOframe, RAOframe from angio where patientID=7"),
              "'1 3 -1'|'2 4 -1'|''|''|-5 -1|6 -1|7 9 -1|8 10 -1|11 -1|12 -1|''|12|3");
    EXPECT_EQ(Sql("select count(*) from ivus"), "0");
    EXPECT_EQ(Sql("select count(*) from outerWall"), "0");
    AngioSnapshot b = a;
    b.LAO.CatheterPoints.push_back({5, 6});
    b.RAO.FrameNumber = 4;
    SaveCard(*dm, 7, {}, &b, nullptr);
    EXPECT_EQ(Sql("select count(*), LcatheterX, RAOframe from angio"), "1|1 3 5 -1|4");

    // The IVUS save inserts the ivus row with an empty list; without a list analysed frame k is file k.
    IvusSnapshot s = Snapshot();
    SaveCard(*dm, 7, {}, nullptr, &s);
    EXPECT_EQ(Sql("select quote(telodiastolic) from ivus"), "''");
    EXPECT_EQ(Sql("select group_concat(telodiastolicFrame) from outerWall"), "0,3");
    // A list shorter than the frames: entries first, then the frame index.
    SaveCard(*dm, 7, {5}, nullptr, &s);
    EXPECT_EQ(Sql("select group_concat(telodiastolicFrame) from outerWall"), "5,3");
}

TEST_F(SaveCardTest, AFailurePartWayKeepsThePreviousRows)
{
    Sql("insert into ivus(patientID, telodiastolic) values (7, '10 20 30 40 -1')");
    const std::vector<std::uint32_t> list = {10, 20, 30, 40};
    const IvusSnapshot s = Snapshot();
    const AngioSnapshot a = Angio();
    SaveCard(*dm, 7, list, &a, &s);
    const QString before = Walls() + Sql("select * from ivus") + Sql("select * from angio");
    const QString ids = Sql("select group_concat(id) from innerWall");
    Sql("create trigger boom before insert on innerWall when new.frame = 1 begin select raise(abort, 'injected failure'); end");

    IvusSnapshot changed = s;
    changed.CatheterCentre = {1, 1};
    changed.OuterWalls[0] = Square(70, 3);
    changed.UserOuterWalls[0] = Square(70, 3);
    AngioSnapshot changedAngio = a;
    changedAngio.LAO.FrameNumber = 99;
    try {
        SaveCard(*dm, 7, list, &changedAngio, &changed);
        FAIL() << "the save should fail";
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("injected failure"), std::string::npos);
    }
    EXPECT_EQ(QString(Walls() + Sql("select * from ivus") + Sql("select * from angio")), before);
    EXPECT_EQ(Sql("select group_concat(id) from innerWall"), ids);
    for (Statement* q : dm->AllStatements())
        EXPECT_FALSE(q->Active());
}

TEST_F(SaveCardTest, TheSaveButtonReadsTheOpenWindowsAndReportsOnlySuccess)
{
    new TMainForm;
    MainForm->show();
    Sql("insert into ivus(patientID, telodiastolic) values (7, '10 20 30 40 -1')");
    MainForm->SetSelectedPatient(7, "John Doe");
    MainForm->EndDiastolicFrames = {10, 20, 30, 40};
    IVUSForm = new FakeIvusForm(Snapshot());
    MainForm->AddChild(IVUSForm)->show();
    MainForm->SetButtonEnabled(TMainForm::Button::Save, true);
    MainForm->Action(TMainForm::Button::Save)->trigger();
    EXPECT_EQ(prompter_.Texts(), QStringList{"Save completed successfully"});
    EXPECT_EQ(QString(Sql("select count(*) from outerWall") + Sql("select count(*) from innerWall")), "22");

    Sql("create trigger boom before insert on outerWall when new.frame = 3 begin select raise(abort, 'injected failure'); end");
    prompter_.Clear();
    MainForm->Action(TMainForm::Button::Save)->trigger();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::ErrorDialog);
    EXPECT_TRUE(prompter_.messages[0].text.contains("injected failure"));
    EXPECT_EQ(QString(Sql("select count(*) from outerWall") + Sql("select count(*) from innerWall")), "22");

    // An open analysis window that cannot hand over its contents fails the save.
    IVUSForm->close();
    IVUSForm = new FakeChildForm("Other");
    prompter_.Clear();
    MainForm->Action(TMainForm::Button::Save)->trigger();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::ErrorDialog);
    delete IVUSForm.data();
}

TEST_F(SaveCardTest, ACodeWithLeftoversCannotBeReused)
{
    EXPECT_TRUE(PatientCodeInUse(*dm, 7));   // a card has it
    EXPECT_FALSE(PatientCodeInUse(*dm, 8));
    Sql("insert into outerWall(patientID, frame, outerWallX, outerWallY, userOuterWallX, userOuterWallY) "
        "values (8, 0, '1 -1', '1 -1', '1 -1', '1 -1')");
    EXPECT_TRUE(PatientCodeInUse(*dm, 8));   // rows of a deleted card
    QDir().mkpath(AppPaths::RecordingDir(9, "IVUS"));
    EXPECT_TRUE(PatientCodeInUse(*dm, 9));   // frames of a deleted card
    Sql("insert into angio(patientID) values (10)");
    EXPECT_TRUE(PatientCodeInUse(*dm, 10));
    EXPECT_FALSE(PatientCodeInUse(*dm, 11));
}
