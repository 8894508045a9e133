// The `reconstruct` command on a workstation folder built by the test: a database with
// the helix card's rows and the card's frame folders.
#include "../core/helix_testutil.h"

#include "app/data.h"
#include "app/forms.h"
#include "app/paths.h"
#include "study/point_list.h"
#include "reconstruction/core/reconstruction.h"
#include "support/test_workstation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <charconv>

using namespace kestrova::reconstruction;
using namespace helix_test;

namespace {

WallContour ToWall(const WallContour& c)
{
    WallContour w;
    for (const PixelPoint& p : c)
        w.push_back({p.x, p.y});
    return w;
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

class ReconstructCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        ASSERT_TRUE(out_.isValid());
        // The schema as the workstation creates it on first use.
        BeginTestWorkstation(root_.path(), {}, nullptr);
        {
            Tdm data;
            ConnectTestDatabase(data);
            data.MyEmbConnection1.Disconnect();
        }
        EndTestWorkstation();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
            db.setDatabaseName(root_.filePath(QStringLiteral("data/angiodb.sqlite")));
            ASSERT_TRUE(db.open());
        }
    }
    void TearDown() override { QSqlDatabase::removeDatabase(QStringLiteral("fixture")); }

    void Exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("fixture")));
        ASSERT_TRUE(q.prepare(sql)) << q.lastError().text().toStdString();
        for (const QVariant& v : values)
            q.addBindValue(v);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }

    void Touch(const QString& relative)
    {
        const QString path = root_.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    // A card with frame folders, the helix tracings and the given walls.
    void AddCard(int code, const ReconstructionInput& in, const std::vector<int>& extraWallFrames = {})
    {
        Exec(QStringLiteral("INSERT INTO patient (code, name, surname) VALUES (?, 'Helix', 'Test')"), {code});
        const QString dir = QStringLiteral("patientData/%1/").arg(code);
        Touch(dir + QStringLiteral("LAO/LAO.0.jpg"));
        Touch(dir + QStringLiteral("RAO/RAO.0.jpg"));
        std::vector<std::uint32_t> list;
        for (int k = 0; k < in.frameCount; ++k) {
            list.push_back(static_cast<std::uint32_t>(3 * k));
            Touch(dir + QStringLiteral("IVUS/IVUS.%1.jpg").arg(3 * k));
        }
        Exec(QStringLiteral("INSERT INTO ivus (patientID, telodiastolic, catheterCenterX, catheterCenterY, "
                            "catheterEdgeX, catheterEdgeY) VALUES (?, ?, ?, ?, 0, 0)"),
             {code, Text(PointListText(list)), in.catheterCentre.x, in.catheterCentre.y});
        const auto [lx, ly] = PointListTexts(ToWall(in.laoCatheter));
        const auto [rx, ry] = PointListTexts(ToWall(in.raoCatheter));
        Exec(QStringLiteral("INSERT INTO angio (patientID, LcatheterX, LcatheterY, RcatheterX, RcatheterY, LAOframe, "
                            "RAOframe) VALUES (?, ?, ?, ?, ?, 0, 0)"),
             {code, Text(lx), Text(ly), Text(rx), Text(ry)});
        for (const auto& [table, walls] : {std::pair{"outerWall", &in.outerWalls}, std::pair{"innerWall", &in.innerWalls}}) {
            const QString t = QString::fromLatin1(table);
            const QString sql = QStringLiteral("INSERT INTO %1 (patientID, frame, telodiastolicFrame, %1X, %1Y, user%2X, "
                                               "user%2Y) VALUES (?, ?, ?, ?, ?, ?, ?)")
                                    .arg(t, QString(t).replace(0, 1, t[0].toUpper()));
            std::vector<int> frames;
            for (std::size_t k = 0; k < walls->size(); ++k)
                if (!(*walls)[k].empty())
                    frames.push_back(static_cast<int>(k));
            if (t == QStringLiteral("outerWall"))
                frames.insert(frames.end(), extraWallFrames.begin(), extraWallFrames.end());
            for (int k : frames) {
                const WallContour& c = k < static_cast<int>(walls->size()) ? (*walls)[k] : walls->front();
                const auto [x, y] = PointListTexts(ToWall(c));
                Exec(sql, {code, k, 3 * k, Text(x), Text(y), Text(x), Text(y)});
            }
        }
    }

    struct Result {
        int exitCode = -1;
        QStringList lines;
        QString errors;
    };
    Result Run(int code)
    {
        QProcess p;
        p.start(QStringLiteral(KESTROVA_RECONSTRUCT), {root_.path(), QString::number(code), out_.path()});
        EXPECT_TRUE(p.waitForFinished(300000));
        Result r;
        r.exitCode = p.exitCode();
        r.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        r.errors = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    // The command under a limit on the size of the files it writes, as on a full disk
    // (SIGXFSZ ignored, so a write past the limit fails instead of ending the process).
    Result RunOnFullDisk(int code, int kilobytes)
    {
        QProcess p;
        p.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"").arg(kilobytes),
                 QStringLiteral(KESTROVA_RECONSTRUCT), root_.path(), QString::number(code), out_.path()});
        EXPECT_TRUE(p.waitForFinished(300000));
        Result r;
        r.exitCode = p.exitCode();
        r.errors = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QByteArray OutFile(const QString& name) const
    {
        QFile f(QDir(out_.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList OutFiles() const { return QDir(out_.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir root_;
    QTemporaryDir out_;
};

std::string Number(double v)
{
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

} // namespace

TEST_F(ReconstructCommand, PrintsThePathAndWritesBothSurfaces)
{
    ReconstructionInput in = HelixInput(150, 50);
    for (int k = 0; k < 50; k += 2)
        in.innerWalls[k].clear(); // inner contours on every other frame only
    AddCard(7, in, {60});

    const Result r = Run(7);
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();

    // The same path as the reconstruction of the same data in this process, digit for digit.
    const Reconstruction expected = ReconstructVessel(in);
    ASSERT_EQ(r.lines.size(), static_cast<qsizetype>(expected.catheterPath.size()));
    EXPECT_EQ(r.lines[0], QStringLiteral("0 0 0"));
    for (std::size_t k = 0; k < expected.catheterPath.size(); ++k) {
        const TPointXYZ& p = expected.catheterPath[k];
        EXPECT_EQ(r.lines[static_cast<qsizetype>(k)].toStdString(), Number(p.x) + " " + Number(p.y) + " " + Number(p.z));
    }
    EXPECT_TRUE(r.errors.contains(QStringLiteral("Stored wall contours of frame 61 of card 7 were left out"))) << r.errors.toStdString();

    EXPECT_EQ(OutFiles(), (QStringList{QStringLiteral("innerSurface_7.vsf"), QStringLiteral("outerSurface_7.vsf")}));
    QFile f(QDir(out_.path()).filePath(QStringLiteral("outerSurface_7.vsf")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readLine(), QByteArray("200 1 0 0\n"));
}

TEST_F(ReconstructCommand, RefusalWritesNoFile)
{
    ReconstructionInput in = HelixInput(150, 5);
    in.raoCatheter.clear();
    AddCard(8, in);
    const Result r = Run(8);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.lines.isEmpty());
    EXPECT_TRUE(r.errors.contains(
        QStringLiteral("Cannot construct 3D because you have not defined the LAO or/and RAO catheter")))
        << r.errors.toStdString();
    EXPECT_TRUE(OutFiles().isEmpty());

    const Result missing = Run(99);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.errors.contains(QStringLiteral("There is no patient card 99")));
}

// Writing over good surface files of an earlier run: when one of the two cannot be
// written, neither good file is touched.
TEST_F(ReconstructCommand, AFailedWriteLeavesTheGoodSurfaceFiles)
{
    AddCard(7, HelixInput(150, 20));
    ASSERT_EQ(Run(7).exitCode, 0);
    const QByteArray outer = OutFile(QStringLiteral("outerSurface_7.vsf"));
    const QByteArray inner = OutFile(QStringLiteral("innerSurface_7.vsf"));
    ASSERT_FALSE(outer.isEmpty());
    ASSERT_FALSE(inner.isEmpty());

    // A full disk: the first file does not fit.
    const Result full = RunOnFullDisk(7, 4);
    EXPECT_EQ(full.exitCode, 1);
    const QString outerPath = QDir(out_.path()).filePath(QStringLiteral("outerSurface_7.vsf"));
    EXPECT_TRUE(full.errors.contains(QStringLiteral("Unable to write the output file.\n") + outerPath +
                                     QStringLiteral(": File too large")))
        << full.errors.toStdString();
    EXPECT_TRUE(OutFile(QStringLiteral("outerSurface_7.vsf")) == outer);
    EXPECT_TRUE(OutFile(QStringLiteral("innerSurface_7.vsf")) == inner);

    // The inner file cannot be created (a folder holds its name): the good outer file stays.
    ASSERT_TRUE(QFile::remove(QDir(out_.path()).filePath(QStringLiteral("innerSurface_7.vsf"))));
    ASSERT_TRUE(QDir(out_.path()).mkdir(QStringLiteral("innerSurface_7.vsf")));
    const Result blocked = Run(7);
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_TRUE(blocked.errors.contains(QStringLiteral("Unable to open output file.\n") +
                                        QDir(out_.path()).filePath(QStringLiteral("innerSurface_7.vsf")) +
                                        QStringLiteral(": Is a directory")))
        << blocked.errors.toStdString();
    EXPECT_TRUE(OutFile(QStringLiteral("outerSurface_7.vsf")) == outer) << "the good outer file was lost";
    EXPECT_EQ(OutFiles(), QStringList{QStringLiteral("outerSurface_7.vsf")});
}

// A mistyped program folder, a missing data folder or a 0-byte database once got a fresh
// schema and only "There is no patient card 7."; now the database is refused by its path
// and nothing is created. A card without an IVUS row or wall rows says so (exit 1).
TEST_F(ReconstructCommand, NoDatabaseOrNoWallsIsSaidAndNothingIsCreated)
{
    const QString db = QDir(root_.path()).filePath(QStringLiteral("data/angiodb.sqlite"));
    const auto run = [&](const QString& folder) {
        QProcess p;
        p.start(QStringLiteral(KESTROVA_RECONSTRUCT), {folder, QStringLiteral("7"), out_.path()});
        EXPECT_TRUE(p.waitForFinished(300000));
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    };
    const QString mistyped = QDir(root_.path()).filePath(QStringLiteral("mistyped"));
    auto [code, errors] = run(mistyped);
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("There is no database ") + QDir(mistyped).filePath("data/angiodb.sqlite")))
        << errors.toStdString();
    EXPECT_FALSE(QDir(mistyped).exists());

    // A card with its tracings but no ivus row, then with an ivus row but no wall rows.
    ReconstructionInput in = HelixInput(150, 5);
    in.outerWalls.clear();
    in.innerWalls.clear();
    AddCard(7, in);
    Exec(QStringLiteral("DELETE FROM ivus"), {});
    std::tie(code, errors) = run(root_.path());
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("Card 7 has no IVUS row"))) << errors.toStdString();
    Exec(QStringLiteral("INSERT INTO ivus(patientID, catheterCenterX, catheterCenterY) VALUES (7, 256, 256)"), {});
    std::tie(code, errors) = run(root_.path());
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("Card 7 has no readable stored wall contour"))) << errors.toStdString();
    EXPECT_TRUE(OutFiles().isEmpty());

    QSqlDatabase::database(QStringLiteral("fixture")).close();
    ASSERT_TRUE(QFile::resize(db, 0));
    std::tie(code, errors) = run(root_.path());
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("The database ") + db + QStringLiteral(" is empty"))) << errors.toStdString();
    EXPECT_EQ(QFileInfo(db).size(), 0);
}
