// The data module's one reader of a card's stored rows (Tdm::ReadStoredCard), which the 3D
// view, the graphs, the exports and the `reconstruct` command share: the rule for damaged,
// empty and repeated wall rows, the read-only connection, and a read that a concurrent
// card save can never tear.
#include "app_fixture.h"

#include "app/data.h"
#include "app/errors.h"
#include "app/forms.h"
#include "app/paths.h"
#include "study/point_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

namespace {

class StoredCardReader : public AppTest {
protected:
    // Card 7 with an ivus row and frames 0..3 of both walls: frame k's outer contour is
    // the triangle (10k, 1), (10k + 1, 2), (10k + 2, 3), its inner one the same shifted by 5.
    void CardWithFourFrames()
    {
        AddPatient(7, "John", "Doe", "pixelSpacing", "0.05");
        Sql("insert into ivus(patientID, telodiastolic, catheterCenterX, catheterCenterY, catheterEdgeX, catheterEdgeY)"
            " values (7, '0 1 2 3 -1', 256, 250, 266, 250)");
        for (int k = 0; k < 4; ++k)
            for (const char* wall : {"outer", "inner"}) {
                const int base = 10 * k + (wall[0] == 'i' ? 5 : 0);
                Sql(QStringLiteral("insert into %1Wall(patientID, frame, telodiastolicFrame, %1WallX, %1WallY, "
                                   "user%2WallX, user%2WallY) values (7, %3, %3, '%4 %5 %6 -1', '1 2 3 -1', '1 -1', "
                                   "'1 -1')")
                        .arg(QString::fromLatin1(wall), wall[0] == 'o' ? QStringLiteral("Outer") : QStringLiteral("Inner"))
                        .arg(k)
                        .arg(base)
                        .arg(base + 1)
                        .arg(base + 2));
            }
    }

    static std::vector<int> Frames(const std::vector<StoredWallRow>& rows)
    {
        std::vector<int> frames;
        for (const StoredWallRow& r : rows)
            frames.push_back(r.frame);
        return frames;
    }
};

}  // namespace

TEST_F(StoredCardReader, ReadsEveryRowOfAnIntactCard)
{
    ConnectDatabase();
    CardWithFourFrames();
    const StoredCard card = dm->ReadStoredCard(7);
    EXPECT_TRUE(card.hasPatientRow && card.hasIvusRow);
    EXPECT_FALSE(card.hasAngioRow);
    EXPECT_DOUBLE_EQ(card.pixelSpacing, 0.05);
    EXPECT_EQ(dm->ReadPixelSpacing(7), 0.05);
    EXPECT_EQ(dm->ReadPixelSpacing(8), 0.0);
    EXPECT_EQ(card.catheterCentre, (PixelPoint{256, 250}));
    EXPECT_TRUE(card.warnings.empty());
    EXPECT_EQ(Frames(card.outer), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(card.inner[2].points, (WallContour{{25, 1}, {26, 2}, {27, 3}}));
    const FrameContourList byFrame = ContoursByFrame(card.outer, 6);
    ASSERT_EQ(byFrame.size(), 6u);
    EXPECT_EQ(byFrame[3], (WallContour{{30, 1}, {31, 2}, {32, 3}}));
    EXPECT_TRUE(byFrame[4].empty());
    std::vector<int> outside;
    EXPECT_EQ(ContoursByFrame(card.outer, 2, &outside).size(), 2u);
    EXPECT_EQ(outside, (std::vector<int>{2, 3}));

    // Without an ivus row no wall row is read.
    Sql("delete from ivus");
    const StoredCard bare = dm->ReadStoredCard(7);
    EXPECT_FALSE(bare.hasIvusRow);
    EXPECT_TRUE(bare.outer.empty() && bare.inner.empty() && bare.warnings.empty());
}

// One damaged stored contour once refused the whole model with `"" is not a point list`,
// naming neither wall nor frame nor card. Now it leaves out that wall of that frame only,
// and the one warning names the wall, the frame as the user counts it, the card and the
// column at fault.
TEST_F(StoredCardReader, ADamagedEmptyOrRepeatedContourLeavesOutItsFrameOnly)
{
    struct Case {
        const char* what;
        const char* sql;
        std::vector<int> outerFrames;
        std::vector<int> innerFrames;
        const char* warning;
    };
    const Case cases[] = {
        {"empty X text", "update outerWall set outerWallX = '' where frame = 2", {0, 1, 3}, {0, 1, 2, 3},
         "The stored outer wall of frame 3 of card 7 cannot be read (outerWallX: \"\" is not a point list); frame 3 "
         "is left out."},
        {"not a number", "update innerWall set innerWallY = '1 x 3 -1' where frame = 0", {0, 1, 2, 3}, {1, 2, 3},
         "The stored inner wall of frame 1 of card 7 cannot be read (innerWallY: \"x\" is not a valid integer value); "
         "frame 1 is left out."},
        {"no closing -1", "update outerWall set outerWallY = '1 2 3' where frame = 0", {1, 2, 3}, {0, 1, 2, 3},
         "The stored outer wall of frame 1 of card 7 cannot be read (outerWallY: \"1 2 3\" is not a point list); "
         "frame 1 is left out."},
        {"lists of different lengths", "update outerWall set outerWallY = '1 2 3 4 5 -1' where frame = 1",
         {0, 2, 3}, {0, 1, 2, 3},
         "The stored outer wall of frame 2 of card 7 cannot be read (outerWallX/outerWallY: its X and Y lists differ "
         "in length (3 and 5 values)); frame 2 is left out."},
        {"a value no image holds", "update outerWall set outerWallX = '1 2147483647 3 -1' where frame = 3",
         {0, 1, 2}, {0, 1, 2, 3},
         "The stored outer wall of frame 4 of card 7 cannot be read (outerWallX: the value 2147483647 lies outside "
         "any image (at most 16384 pixels from its corner)); frame 4 is left out."},
        {"no point", "update innerWall set innerWallX = '-1', innerWallY = '-1' where frame = 3", {0, 1, 2, 3},
         {0, 1, 2}, "The stored inner wall of frame 4 of card 7 holds no point; frame 4 is left out."},
        {"a frame stored twice",
         "insert into outerWall(patientID, frame, outerWallX, outerWallY, userOuterWallX, userOuterWallY) "
         "values (7, 1, '5 -1', '5 -1', '5 -1', '5 -1')",
         {0, 2, 3}, {0, 1, 2, 3}, "The outer wall of frame 2 of card 7 is stored 2 times; frame 2 is left out."},
        {"no frame number", "update innerWall set frame = NULL where frame = 1", {0, 1, 2, 3}, {0, 2, 3},
         "A stored inner wall row of card 7 (id 2) has no valid frame number; the row is left out."},
        {"a frame number past int", "update outerWall set frame = 3000000000 where frame = 0", {1, 2, 3},
         {0, 1, 2, 3}, "A stored outer wall row of card 7 (id 1) has no valid frame number; the row is left out."},
    };
    ConnectDatabase();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sql("delete from patient; delete from ivus; delete from outerWall; delete from innerWall; "
            "delete from sqlite_sequence");
        CardWithFourFrames();
        Sql(QString::fromLatin1(c.sql));
        const StoredCard card = dm->ReadStoredCard(7);
        EXPECT_EQ(Frames(card.outer), c.outerFrames);
        EXPECT_EQ(Frames(card.inner), c.innerFrames);
        ASSERT_EQ(card.warnings.size(), 1u);
        EXPECT_EQ(card.warnings[0], c.warning);
        // The frames kept are read whole and unchanged.
        for (const StoredWallRow& row : card.outer)
            EXPECT_EQ(row.points, (WallContour{{10 * row.frame, 1}, {10 * row.frame + 1, 2}, {10 * row.frame + 2, 3}}));
    }
}

TEST_F(StoredCardReader, ACatheterCentreNoImageHoldsIsTakenAsNotSet)
{
    ConnectDatabase();
    CardWithFourFrames();
    Sql("update ivus set catheterCenterX = 3000000000");
    const StoredCard card = dm->ReadStoredCard(7);
    EXPECT_EQ(card.catheterCentre, (PixelPoint{0, 0}));
    ASSERT_EQ(card.warnings.size(), 1u);
    EXPECT_EQ(card.warnings[0],
              "The stored catheter centre of card 7 (3000000000, 250) lies outside any image; it is taken as not set.");
    EXPECT_EQ(card.outer.size(), 4u);
}

// While the card is being saved on another connection, a reader that read the outer and
// the inner walls in two separate reads mixed two versions of the card. Every read now
// sees one version whole.
TEST_F(StoredCardReader, AConcurrentSaveNeverMixesTwoVersions)
{
    ConnectDatabase();
    CardWithFourFrames();
    Sql("update outerWall set outerWallX = '0 0 0 -1'; update innerWall set innerWallX = '0 0 0 -1'");
    const QString file = DbFile();
    std::atomic<bool> stop{false};
    std::atomic<int> saves{0};
    std::string writerError;
    // The saver: each version v rewrites both walls of every frame in one transaction, as
    // the card save does; every point of version v has x = v.
    std::thread saver([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("saver"));
            db.setDatabaseName(file);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            if (!db.open()) {
                writerError = db.lastError().text().toStdString();
                return;
            }
            QSqlQuery q(db);
            for (int v = 1; !stop && v < 16000; ++v) {
                bool ok = db.transaction();
                const QString x = QStringLiteral("'%1 %1 %1 -1'").arg(v);
                for (const char* wall : {"outer", "inner"}) {
                    ok = ok && q.exec(QStringLiteral("delete from %1Wall where patientID = 7").arg(QLatin1String(wall)));
                    for (int k = 0; ok && k < 4; ++k)
                        ok = q.exec(QStringLiteral("insert into %1Wall(patientID, frame, %1WallX, %1WallY, user%2WallX, "
                                                   "user%2WallY) values (7, %3, %4, '1 2 3 -1', '1 -1', '1 -1')")
                                        .arg(QLatin1String(wall), wall[0] == 'o' ? QStringLiteral("Outer")
                                                                                 : QStringLiteral("Inner"))
                                        .arg(k)
                                        .arg(x));
                }
                ok = ok && db.commit();
                if (!ok) {
                    writerError = q.lastError().text().toStdString() + " / " + db.lastError().text().toStdString();
                    db.rollback();
                    break;
                }
                ++saves;
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("saver"));
    });
    int mixed = 0, reads = 0;
    for (; reads < 200; ++reads) {
        const StoredCard card = dm->ReadStoredCard(7);
        std::set<int> versions;
        for (const auto* rows : {&card.outer, &card.inner})
            for (const StoredWallRow& row : *rows)
                versions.insert(row.points.front().x);
        mixed += versions.size() != 1 || card.outer.size() != 4 || card.inner.size() != 4;
    }
    stop = true;
    saver.join();
    EXPECT_EQ(writerError, "");
    EXPECT_GT(saves.load(), 10);  // the saves did run beside the reads
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads, with " << saves.load() << " saves";
}

TEST_F(StoredCardReader, AReadOnlyConnectionNeverCreatesADatabase)
{
    ConnectDatabase();
    CardWithFourFrames();
    dm->MyEmbConnection1.Disconnect();
    const QString missingRoot = QDir(Root()).filePath(QStringLiteral("mistyped"));
    struct Case {
        const char* what;
        QString dataDir;
        std::function<void()> prepare;
        const char* message;  // start of the DatabaseError text, followed by the path
    };
    const QString dataDir = AppPaths::DataDir();
    const QString other = QDir(Root()).filePath(QStringLiteral("other"));
    const Case cases[] = {
        {"missing folder", QDir(missingRoot).filePath(QStringLiteral("data")), [] {}, "There is no database "},
        {"empty file", other, [&] { TouchFile(QDir(other).filePath(QStringLiteral("angiodb.sqlite"))); },
         "The database "},
        {"garbage", other, [&] { TouchFile(QDir(other).filePath(QStringLiteral("angiodb.sqlite")), QByteArray(4096, 'x')); },
         "The database "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(other).removeRecursively();
        c.prepare();
        Tdm module;
        module.MyEmbConnection1.BaseDir = Root();
        module.MyEmbConnection1.DataDir = c.dataDir;
        module.MyEmbConnection1.ReadOnly = true;
        const QString file = QDir(c.dataDir).filePath(QStringLiteral("angiodb.sqlite"));
        const qint64 sizeBefore = QFileInfo(file).exists() ? QFileInfo(file).size() : -1;
        try {
            module.MyEmbConnection1.Connect();
            ADD_FAILURE() << "connected";
        } catch (const DatabaseError& e) {
            const std::string text = e.what();
            EXPECT_EQ(text.rfind(c.message, 0), 0u) << text;
            EXPECT_NE(text.find(QDir::toNativeSeparators(file).toStdString()), std::string::npos) << text;
        }
        EXPECT_FALSE(module.MyEmbConnection1.Connected());
        // Nothing was created: no folder, no file, no schema.
        EXPECT_EQ(QFileInfo(file).exists() ? QFileInfo(file).size() : -1, sizeBefore);
        EXPECT_FALSE(QDir(missingRoot).exists());
    }

    // The existing database opens for reading, and refuses to be written.
    Tdm module;
    module.MyEmbConnection1.BaseDir = Root();
    module.MyEmbConnection1.DataDir = dataDir;
    module.MyEmbConnection1.ReadOnly = true;
    module.MyEmbConnection1.Connect();
    EXPECT_EQ(module.ReadStoredCard(7).outer.size(), 4u);
    module.qDeletePatient.Param(QStringLiteral("id"), 1);
    EXPECT_THROW(module.qDeletePatient.Execute(), DatabaseError);
    EXPECT_EQ(Sql("select count(*) from patient"), "1");
}
