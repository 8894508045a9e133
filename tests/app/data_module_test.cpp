#include "app_fixture.h"

#include "app/data.h"
#include "app/errors.h"
#include "app/forms.h"
#include "app/paths.h"

#include <QDate>
#include <QDir>
#include <QFile>

class DataModule : public AppTest {};

TEST_F(DataModule, FreshFolderGetsSchemaSeedsAndVersionOnce)
{
    ConnectDatabase();
    EXPECT_EQ(Sql("pragma user_version"), "1");
    EXPECT_EQ(Sql("select group_concat(name, ' ') from (select name from sqlite_master where type='table' "
                  "and name not like 'sqlite_%' order by name)"),
              "angio examination innerWall intervention ivus outerWall patient phase vessel");
    for (const char* t : {"vessel", "phase", "examination", "intervention"})
        EXPECT_GT(Sql(QStringLiteral("select count(*) from %1").arg(t)).toInt(), 1) << t;
    // Codes are INTEGER columns; patient.code is unique.
    EXPECT_EQ(Sql("select type from pragma_table_info('outerWall') where name='patientID'"), "INTEGER");
    AddPatient(7, "John", "Doe");
    // A second start on the same folder keeps the data.
    dm->MyEmbConnection1.Disconnect();
    EXPECT_FALSE(dm->MyEmbConnection1.Connected());
    ConnectDatabase();
    EXPECT_EQ(Sql("select count(*) from patient"), "1");
}

TEST_F(DataModule, ConnectFailsOnForeignOrBrokenDatabases)
{
    struct Case { const char* what; std::function<void()> prepare; };
    const Case cases[] = {
        {"file is a folder", [] { QDir().mkpath(AppPaths::DatabaseFile()); }},
        {"garbage file", [] { TouchFile(AppPaths::DatabaseFile(), QByteArray(4096, 'x')); }},
        {"unknown version", [] { SqliteCli(AppPaths::DatabaseFile(), "create table t(x); pragma user_version=9;"); }},
        {"missing tables", [] { SqliteCli(AppPaths::DatabaseFile(), "create table patient(x); pragma user_version=1;"); }},
    };
    for (const auto& c : cases) {
        QDir(AppPaths::DataDir()).removeRecursively();
        QDir().mkpath(AppPaths::DataDir());
        c.prepare();
        Tdm module;
        module.MyEmbConnection1.BaseDir = AppPaths::Root();
        module.MyEmbConnection1.DataDir = AppPaths::DataDir();
        EXPECT_THROW(module.MyEmbConnection1.Connect(), DatabaseError) << c.what;
        EXPECT_FALSE(module.MyEmbConnection1.Connected()) << c.what;
        // Without a connection every statement fails loudly.
        module.qGetIVUS.Param("patientID", 1);
        EXPECT_THROW(module.qGetIVUS.Open(), DatabaseError) << c.what;
        EXPECT_THROW(module.qDeletePatient.Execute(), DatabaseError) << c.what;
    }
}

TEST_F(DataModule, EveryStatementRunsAndIsSeenByAnIndependentReader)
{
    ConnectDatabase();
    Tdm& d = *dm;
    AddPatient(7, "John", "Doe", "calibrationDistance", "2.5");

    // ivus: insert, read, update (patientID used twice takes one value).
    d.qInsertIVUS.Param("patientID", 7);
    d.qInsertIVUS.Param("telodiastolic", QString("3 9 -1"));
    for (const char* p : {"catheterCenterX", "catheterCenterY", "catheterEdgeX", "catheterEdgeY"})
        d.qInsertIVUS.Param(p, 0);
    EXPECT_EQ(d.qInsertIVUS.Execute(), 1);
    d.qInsertIVUS.Close();
    d.qUpdateIVUS.Param("patientID", 7);
    d.qUpdateIVUS.Param("telodiastolic", QString("3 9 -1"));
    d.qUpdateIVUS.Param("catheterCenterX", 100);
    d.qUpdateIVUS.Param("catheterCenterY", 101);
    d.qUpdateIVUS.Param("catheterEdgeX", 110);
    d.qUpdateIVUS.Param("catheterEdgeY", 111);
    EXPECT_EQ(d.qUpdateIVUS.Execute(), 1);
    d.qUpdateIVUS.Close();
    EXPECT_EQ(Sql("select patientID, quote(telodiastolic), catheterCenterX, catheterCenterY, catheterEdgeX, "
                  "catheterEdgeY from ivus"),
              "7|'3 9 -1'|100|101|110|111");
    d.qGetIVUS.Param("patientID", 7);
    d.qGetIVUS.Open();
    ASSERT_EQ(d.qGetIVUS.RecordCount(), 1);
    EXPECT_EQ(d.qGetIVUS.FieldByName("telodiastolic").AsString(), "3 9 -1");
    d.qGetIVUS.Close();

    // angio: insert then update, all sixteen lists.
    const QStringList lists = {"LcatheterX", "LcatheterY", "LlumenAX", "LlumenAY", "LlumenBX", "LlumenBY", "LwidthX",
                               "LwidthY", "RcatheterX", "RcatheterY", "RlumenAX", "RlumenAY", "RlumenBX", "RlumenBY",
                               "RwidthX", "RwidthY"};
    for (Statement* q : {&d.qInsertANGIO, &d.qUpdateANGIO}) {
        q->Param("patientID", 7);
        for (int i = 0; i < lists.size(); ++i)
            q->Param(lists[i], q == &d.qInsertANGIO ? QString() : QStringLiteral("%1 -1").arg(i));
        q->Param("LAOframe", q == &d.qInsertANGIO ? 1 : 4);
        q->Param("RAOframe", q == &d.qInsertANGIO ? 2 : 5);
        EXPECT_EQ(q->Execute(), 1) << q->Name().toStdString();
        q->Close();
    }
    EXPECT_EQ(Sql("select count(*), LcatheterX, RwidthY, LAOframe, RAOframe from angio"), "1|0 -1|15 -1|4|5");
    d.qGetANGIO.Param("patientID", 7);
    d.qGetANGIO.Open();
    EXPECT_EQ(d.qGetANGIO.RecordCount(), 1);
    d.qGetANGIO.Close();

    // walls: insert, read both ways, delete by the code as text.
    for (int round = 0; round < 2; ++round) {
        d.qDeleteOuterWall.Param("patientID", QString("7"));
        d.qDeleteOuterWall.Execute();
        d.qDeleteInnerWall.Param("patientID", QString("7"));
        d.qDeleteInnerWall.Execute();
        for (int k = 0; k < 2; ++k) {
            for (auto [q, prefix] : {std::pair{&d.qInsertOuterWall, "outerWall"}, std::pair{&d.qInsertInnerWall, "innerWall"}}) {
                const QString p = QString::fromLatin1(prefix);
                const QString user = "user" + p.left(1).toUpper() + p.mid(1);
                q->Param("patientID", 7);
                q->Param("frame", k);
                q->Param("telodiastolicFrame", 10 + k);
                q->Param(p + "X", QString("1 2 -1"));
                q->Param(p + "Y", QString("3 4 -1"));
                q->Param(user + "X", QString("5 6 -1"));
                q->Param(user + "Y", QString("7 8 -1"));
                q->Execute();
                q->Close();
            }
        }
    }
    EXPECT_EQ(Sql("select count(*) from outerWall"), "2");
    EXPECT_EQ(Sql("select count(*) from innerWall"), "2");
    EXPECT_EQ(Sql("select group_concat(frame || ':' || telodiastolicFrame || ':' || userInnerWallY, ',') from innerWall"),
              "0:10:7 8 -1,1:11:7 8 -1");
    for (Statement* q : {&d.qGetOuterWall, &d.qGetInnerWall, &d.qGetOuterWallDesc, &d.qGetInnerWallDesc}) {
        q->Param("patientID", 7);
        q->Open();
        EXPECT_EQ(q->RecordCount(), 2) << q->Name().toStdString();
        q->Close();
    }
    d.qGetOuterWallDesc.Param("patientID", 7);
    d.qGetOuterWallDesc.Open();
    const int firstId = d.qGetOuterWallDesc.FieldByName("id").AsInteger();
    d.qGetOuterWallDesc.Next();
    EXPECT_LT(firstId, d.qGetOuterWallDesc.FieldByName("id").AsInteger()); // ascending despite the name
    d.qGetOuterWallDesc.Close();
    // Ids keep growing after deletes.
    EXPECT_EQ(Sql("select min(id) from outerWall"), "3");

    for (Statement* q : {&d.qGetAllVessel, &d.qGetAllPhase, &d.qGetAllExamination, &d.qGetAllIntervention}) {
        q->Open();
        EXPECT_GT(q->RecordCount(), 0);
        EXPECT_FALSE(q->FieldByName("description").AsString().isEmpty());
        q->Close();
    }

    // The patient queries; qGetPatient takes the code as text too; a null column reads 0.
    d.qGetAllPatients.Open();
    EXPECT_EQ(d.qGetAllPatients.RecordCount(), 1);
    d.qGetAllPatients.Close();
    d.qGetPatient.Param("code", QString("7"));
    d.qGetPatient.Open();
    ASSERT_EQ(d.qGetPatient.RecordCount(), 1);
    EXPECT_EQ(d.qGetPatient.FieldByName("pixelSpacing").AsFloat(), 0.0);
    EXPECT_EQ(d.qGetPatient.FieldByName("calibrationPointAX").AsInteger(), 0);
    EXPECT_DOUBLE_EQ(d.qGetPatient.FieldByName("calibrationDistance").AsFloat(), 2.5);
    // Edit / Post write the row back.
    d.qGetPatient.Edit();
    d.qGetPatient.SetField("calibrationPointAX", 12);
    d.qGetPatient.SetField("pixelSpacing", 0.025);
    d.qGetPatient.Post();
    d.qGetPatient.Close();
    EXPECT_EQ(Sql("select calibrationPointAX, pixelSpacing from patient where code=7"), "12|0.025");

    const QString id = Sql("select id from patient where code=7");
    d.qDeletePatient.Param("id", id.toInt());
    EXPECT_EQ(d.qDeletePatient.Execute(), 1);
    d.qDeletePatient.Close();
    EXPECT_EQ(Sql("select count(*) from patient"), "0");
    // Deleting a card leaves its recordings.
    EXPECT_EQ(Sql("select count(*) from ivus"), "1");
}

TEST_F(DataModule, StatementErrorsAreRaised)
{
    ConnectDatabase();
    AddPatient(7, "John", "Doe");
    dm->qGetPatient.Param("code", 7);
    dm->qGetPatient.Open();
    EXPECT_THROW(dm->qGetPatient.FieldByName("nope"), DatabaseError);
    dm->qGetPatient.Close();
    dm->qGetIVUS.Param("patientID", 7);
    dm->qGetIVUS.Open();
    EXPECT_TRUE(dm->qGetIVUS.Eof());
    EXPECT_THROW(dm->qGetIVUS.FieldByName("telodiastolic"), DatabaseError); // no current record
    dm->qGetIVUS.Close();
    // A second ivus row for the same patient is refused by the database.
    for (int i = 0; i < 2; ++i) {
        dm->qInsertIVUS.Param("patientID", 7);
        dm->qInsertIVUS.Param("telodiastolic", QString());
        for (const char* p : {"catheterCenterX", "catheterCenterY", "catheterEdgeX", "catheterEdgeY"})
            dm->qInsertIVUS.Param(p, 0);
        if (i == 0)
            dm->qInsertIVUS.Execute();
        else
            EXPECT_THROW(dm->qInsertIVUS.Execute(), DatabaseError);
        dm->qInsertIVUS.Close();
    }
}

// A tracing whose X and Y lists differ in length was once paired up to the shorter list
// (3 X values against 150 Y values gave a 43 px path): it is refused, naming the card and
// the columns, and the lists are left untouched.
TEST_F(DataModule, LoadAngioViewAppendsAndRefusesUnequalLists)
{
    ConnectDatabase();
    WallContour c, a, b, w;
    c.push_back({100, 100});
    EXPECT_EQ(dm->LoadAngioView(AngioView::LAO, 7, c, a, b, w), 0); // no row: nothing touched
    EXPECT_EQ(c.size(), 1u);
    Sql("insert into angio(patientID, LcatheterX, LcatheterY, LlumenAX, LlumenAY, LlumenBX, LlumenBY, LwidthX, LwidthY,"
        " RcatheterX, RcatheterY, LAOframe, RAOframe) values (7, '1 2 -1', '4 5 -1', '', '', '-5 -1', '6 -1', '7 8 -1',"
        " '9 10 -1', '20 -1', '21 -1', 12, 13)");
    EXPECT_EQ(dm->LoadAngioView(AngioView::LAO, 7, c, a, b, w), 12);
    EXPECT_EQ(c, (WallContour{{100, 100}, {1, 4}, {2, 5}}));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(b, (WallContour{{-5, 6}}));
    EXPECT_EQ(w, (WallContour{{7, 9}, {8, 10}}));
    WallContour rc, ra, rb, rw;
    EXPECT_EQ(dm->LoadAngioView(AngioView::RAO, 7, rc, ra, rb, rw), 13);
    EXPECT_EQ(rc, (WallContour{{20, 21}}));
    EXPECT_TRUE(rw.empty());

    struct Case {
        const char* set;
        const char* message;
    };
    const Case cases[] = {
        {"LcatheterX = '1 2 3 -1'",
         "The stored LAO catheter tracing of card 7 cannot be read (LcatheterX/LcatheterY: its X and Y lists differ "
         "in length (3 and 2 values))"},
        {"LwidthY = '9 2147483647 -1'",
         "The stored LAO width tracing of card 7 cannot be read (LwidthY: the value 2147483647 lies outside any image"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.set);
        Sql("update angio set LcatheterX = '1 2 -1', LwidthY = '9 10 -1'");
        Sql(QStringLiteral("update angio set %1").arg(QString::fromLatin1(k.set)));
        WallContour c2, a2, b2, w2;
        try {
            dm->LoadAngioView(AngioView::LAO, 7, c2, a2, b2, w2);
            ADD_FAILURE() << "accepted";
        } catch (const ConversionError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(k.message, 0), 0u) << e.what();
        }
        EXPECT_TRUE(c2.empty() && w2.empty());
        EXPECT_FALSE(dm->qGetANGIO.Active());
    }
}

TEST_F(DataModule, LoadIvusContours)
{
    ConnectDatabase();
    auto fresh = [] { return FrameContourList(3); };
    PixelPoint centre{-1, -1}, edge{-1, -1};
    FrameContourList o = fresh(), i = fresh(), uo = fresh(), ui = fresh();
    // Wall rows without an ivus row are not read.
    Sql("insert into outerWall(patientID, frame, telodiastolicFrame, outerWallX, outerWallY, userOuterWallX, userOuterWallY)"
        " values (7, 1, 9, '1 2 -1', '3 4 -1', '5 6 -1', '7 8 -1'), (7, 1, 9, '10 -1', '11 -1', '12 -1', '13 -1')");
    Sql("insert into innerWall(patientID, frame, telodiastolicFrame, innerWallX, innerWallY, userInnerWallX, userInnerWallY)"
        " values (7, 2, 12, '1 -1', '2 -1', '3 -1', '4 -1')");
    dm->LoadIvusContours(7, centre, edge, o, i, uo, ui);
    EXPECT_EQ(centre, (PixelPoint{-1, -1}));
    EXPECT_TRUE(o[1].empty());

    Sql("insert into ivus(patientID, telodiastolic, catheterCenterX, catheterCenterY, catheterEdgeX, catheterEdgeY)"
        " values (7, '3 9 12 -1', 200, 201, 210, 211)");
    dm->LoadIvusContours(7, centre, edge, o, i, uo, ui);
    EXPECT_EQ(centre, (PixelPoint{200, 201}));
    EXPECT_EQ(edge, (PixelPoint{210, 211}));
    EXPECT_EQ(o[1], (WallContour{{1, 3}, {2, 4}, {10, 11}})); // two rows of one frame append in row order
    EXPECT_EQ(uo[1], (WallContour{{5, 7}, {6, 8}, {12, 13}}));
    EXPECT_EQ(i[2], (WallContour{{1, 2}}));
    EXPECT_EQ(ui[2], (WallContour{{3, 4}}));
    EXPECT_TRUE(o[0].empty());

    // A wall row of a frame the window does not have: list index error.
    FrameContourList small(2), small_i(2), small_uo(2), small_ui(2);
    EXPECT_THROW(dm->LoadIvusContours(7, centre, edge, small, small_i, small_uo, small_ui), ListIndexError);
    // An empty text in a wall row: conversion error, naming the wall, the frame (counted
    // from 1), the card and the column.
    Sql("update outerWall set outerWallX='' where telodiastolicFrame=9");
    FrameContourList a = fresh(), b = fresh(), c2 = fresh(), d2 = fresh();
    try {
        dm->LoadIvusContours(7, centre, edge, a, b, c2, d2);
        ADD_FAILURE() << "accepted";
    } catch (const ConversionError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The stored outer wall of frame 2 of card 7 cannot be read (outerWallX: \"\" is not a point list)");
    }
    EXPECT_FALSE(dm->qGetOuterWall.Active()); // the query was closed on the way out
}

TEST_F(DataModule, PatientsModelSelectsWithTheFixedTextAndWritesBack)
{
    ConnectDatabase();
    AddPatient(7, "John", "Doe", "birthdate, \"LDC-C\"", "'1950-02-03', 1.5");
    AddPatient(8, "Ann", "Roe", "sex", "'f'");
    auto model = dm->NewPatientsModel();
    model->Refresh();
    ASSERT_EQ(model->rowCount(), 2);
    const int bd = model->fieldIndex("birthdate");
    const int ldc = model->fieldIndex("LDC-C");
    const int sex = model->fieldIndex("sex");
    EXPECT_EQ(model->data(model->index(0, bd)).toDate(), QDate(1950, 2, 3));
    EXPECT_EQ(model->data(model->index(1, sex)).toString(), "Female");
    EXPECT_EQ(model->headerData(model->fieldIndex("code"), Qt::Horizontal).toString(), "Code");
    EXPECT_TRUE(model->setData(model->index(0, bd), QDate(1961, 12, 31)));
    EXPECT_TRUE(model->setData(model->index(0, ldc), 2.25));
    model->Post();
    EXPECT_EQ(Sql("select birthdate, \"LDC-C\" from patient where code=7"), "1961-12-31|2.25");
}
