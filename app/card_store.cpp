#include "app/card_store.h"

#include "app/data.h"
#include "app/paths.h"
#include "study/point_list.h"

#include <QDir>

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

void BindView(Statement& q, const QString& prefix, const AngioViewSnapshot& v)
{
    const std::pair<const char*, const WallContour*> lists[] = {
        {"catheter", &v.CatheterPoints}, {"lumenA", &v.LumenAPoints}, {"lumenB", &v.LumenBPoints}, {"width", &v.WidthPoints}};
    for (const auto& [name, points] : lists) {
        const auto [x, y] = PointListTexts(*points);
        q.Param(prefix + QLatin1String(name) + QLatin1Char('X'), Text(x));
        q.Param(prefix + QLatin1String(name) + QLatin1Char('Y'), Text(y));
    }
}

void SaveWalls(Statement& del, Statement& ins, int code, const std::vector<std::uint32_t>& list,
               const FrameContourList& shown, const FrameContourList& initial, const QString& wall, const QString& userWall)
{
    del.Param(QStringLiteral("patientID"), QString::number(code));
    del.Execute();
    del.Close();
    for (std::size_t k = 0; k < shown.size(); ++k) {
        const WallContour& contour = shown[k];
        const std::size_t n = contour.size();
        if (n == 0)
            continue;
        // The initial contour has as many points as the shown one; one that is shorter
        // (never made by the IVUS window) is replaced by the shown contour.
        const WallContour& start = (k < initial.size() && initial[k].size() >= n) ? initial[k] : contour;
        const auto [x, y] = PointListTexts(contour);
        const auto [ux, uy] = PointListTexts(start, n);
        ins.Param(QStringLiteral("patientID"), code);
        ins.Param(QStringLiteral("frame"), static_cast<int>(k));
        ins.Param(QStringLiteral("telodiastolicFrame"), static_cast<qlonglong>(AnalysedFrameFile(list, k)));
        ins.Param(wall + QLatin1Char('X'), Text(x));
        ins.Param(wall + QLatin1Char('Y'), Text(y));
        ins.Param(userWall + QLatin1Char('X'), Text(ux));
        ins.Param(userWall + QLatin1Char('Y'), Text(uy));
        ins.Execute();
        ins.Close();
    }
}

} // namespace

void SaveCard(Tdm& dm, int code, const std::vector<std::uint32_t>& endDiastolicFrames, const AngioSnapshot* angio,
              const IvusSnapshot* ivus)
{
    if (!angio && !ivus)
        return;
    Transaction transaction(dm.MyEmbConnection1);
    try {
        if (angio) {
            dm.qGetANGIO.Param(QStringLiteral("patientID"), code);
            dm.qGetANGIO.Open();
            const int rows = dm.qGetANGIO.RecordCount();
            dm.qGetANGIO.Close();
            Statement& q = rows == 0 ? dm.qInsertANGIO : dm.qUpdateANGIO;
            q.Param(QStringLiteral("patientID"), code);
            BindView(q, QStringLiteral("L"), angio->LAO);
            BindView(q, QStringLiteral("R"), angio->RAO);
            q.Param(QStringLiteral("LAOframe"), angio->LAO.FrameNumber);
            q.Param(QStringLiteral("RAOframe"), angio->RAO.FrameNumber);
            q.Execute();
            q.Close();
        }
        if (ivus) {
            dm.qGetIVUS.Param(QStringLiteral("patientID"), code);
            dm.qGetIVUS.Open();
            const int rows = dm.qGetIVUS.RecordCount();
            const QString telodiastolic = rows ? dm.qGetIVUS.FieldByName(QStringLiteral("telodiastolic")).AsString() : QString();
            dm.qGetIVUS.Close();
            Statement& q = rows == 0 ? dm.qInsertIVUS : dm.qUpdateIVUS;
            q.Param(QStringLiteral("patientID"), code);
            q.Param(QStringLiteral("telodiastolic"), telodiastolic.isNull() ? QStringLiteral("") : telodiastolic);
            q.Param(QStringLiteral("catheterCenterX"), ivus->CatheterCentre.x);
            q.Param(QStringLiteral("catheterCenterY"), ivus->CatheterCentre.y);
            q.Param(QStringLiteral("catheterEdgeX"), ivus->CatheterEdge.x);
            q.Param(QStringLiteral("catheterEdgeY"), ivus->CatheterEdge.y);
            q.Execute();
            q.Close();
            SaveWalls(dm.qDeleteOuterWall, dm.qInsertOuterWall, code, endDiastolicFrames, ivus->OuterWalls,
                      ivus->UserOuterWalls, QStringLiteral("outerWall"), QStringLiteral("userOuterWall"));
            SaveWalls(dm.qDeleteInnerWall, dm.qInsertInnerWall, code, endDiastolicFrames, ivus->InnerWalls,
                      ivus->UserInnerWalls, QStringLiteral("innerWall"), QStringLiteral("userInnerWall"));
        }
    } catch (...) {
        for (Statement* s : dm.AllStatements())
            s->Close();
        throw;
    }
    transaction.Commit();
}

bool PatientCodeInUse(Tdm& dm, int code)
{
    if (QDir(AppPaths::PatientDir(code)).exists())
        return true;
    Statement* checks[] = {&dm.qGetIVUS, &dm.qGetANGIO, &dm.qGetOuterWall, &dm.qGetInnerWall};
    dm.qGetPatient.Param(QStringLiteral("code"), code);
    dm.qGetPatient.Open();
    bool used = dm.qGetPatient.RecordCount() > 0;
    dm.qGetPatient.Close();
    for (Statement* q : checks) {
        if (used)
            break;
        q->Param(QStringLiteral("patientID"), code);
        q->Open();
        used = q->RecordCount() > 0;
        q->Close();
    }
    return used;
}
