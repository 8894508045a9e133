#include "analysis/ui/ivus_store.h"

#include "app/data.h"
#include "app/point_list.h"

namespace kestrova::analysis {

namespace {

WallContour ReadPoints(const Statement& q, const QString& xColumn, const QString& yColumn)
{
    auto list = [&](const QString& column) {
        const QString text = q.FieldByName(column).AsString();
        return text.isEmpty() ? std::vector<int>{} : ParseIntListSigned(text.toStdString());
    };
    const ::WallContour points = ZipPoints(list(xColumn), list(yColumn));
    WallContour out;
    out.reserve(points.size());
    for (const IntPoint& p : points)
        out.push_back({p.x, p.y});
    return out;
}

void ReadWalls(Statement& q, int code, const char* wall, const char* userWall, FrameContours& shown,
               FrameContours& initial, std::vector<int>& skipped)
{
    q.Param(QStringLiteral("patientID"), code);
    q.Open();
    try {
        for (; !q.Eof(); q.Next()) {
            const int k = q.FieldByName(QStringLiteral("frame")).AsInteger();
            if (k < 0 || static_cast<std::size_t>(k) >= shown.size()) {
                skipped.push_back(k);
                continue;
            }
            const QString w = QLatin1String(wall);
            const QString u = QLatin1String(userWall);
            WallContour a = ReadPoints(q, w + QLatin1Char('X'), w + QLatin1Char('Y'));
            WallContour b = ReadPoints(q, u + QLatin1Char('X'), u + QLatin1Char('Y'));
            shown[k].insert(shown[k].end(), a.begin(), a.end());
            initial[k].insert(initial[k].end(), b.begin(), b.end());
        }
    } catch (...) {
        q.Close();
        throw;
    }
    q.Close();
}

} // namespace

StoredIvus LoadStoredIvus(Tdm& dm, int code, int frameCount)
{
    StoredIvus stored;
    const auto n = static_cast<std::size_t>(std::max(0, frameCount));
    stored.outer.assign(n, {});
    stored.inner.assign(n, {});
    stored.userOuter.assign(n, {});
    stored.userInner.assign(n, {});

    dm.qGetIVUS.Param(QStringLiteral("patientID"), code);
    dm.qGetIVUS.Open();
    if (dm.qGetIVUS.Eof()) {
        dm.qGetIVUS.Close();
        return stored;
    }
    try {
        stored.catheterCentre = {dm.qGetIVUS.FieldByName(QStringLiteral("catheterCenterX")).AsInteger(),
                                 dm.qGetIVUS.FieldByName(QStringLiteral("catheterCenterY")).AsInteger()};
        stored.catheterEdge = {dm.qGetIVUS.FieldByName(QStringLiteral("catheterEdgeX")).AsInteger(),
                               dm.qGetIVUS.FieldByName(QStringLiteral("catheterEdgeY")).AsInteger()};
    } catch (...) {
        dm.qGetIVUS.Close();
        throw;
    }
    dm.qGetIVUS.Close();
    ReadWalls(dm.qGetOuterWall, code, "outerWall", "userOuterWall", stored.outer, stored.userOuter,
              stored.skippedFrames);
    ReadWalls(dm.qGetInnerWall, code, "innerWall", "userInnerWall", stored.inner, stored.userInner,
              stored.skippedFrames);
    return stored;
}

bool WritePatientCalibration(Tdm& dm, int code, PixelPoint a, PixelPoint b, double distance, double pixelSpacing)
{
    Statement& q = dm.qGetPatient;
    q.Param(QStringLiteral("code"), code);
    q.Open();
    try {
        if (q.Eof()) {
            q.Close();
            return false;
        }
        q.Edit();
        q.SetField(QStringLiteral("calibrationPointAX"), a.x);
        q.SetField(QStringLiteral("calibrationPointAY"), a.y);
        q.SetField(QStringLiteral("calibrationPointBX"), b.x);
        q.SetField(QStringLiteral("calibrationPointBY"), b.y);
        q.SetField(QStringLiteral("calibrationDistance"), distance);
        q.SetField(QStringLiteral("pixelSpacing"), pixelSpacing);
        q.Post();
    } catch (...) {
        q.Close();
        throw;
    }
    q.Close();
    return true;
}

double ReadPixelSpacing(Tdm& dm, int code)
{
    Statement& q = dm.qGetPatient;
    q.Param(QStringLiteral("code"), code);
    q.Open();
    double spacing = 0.0;
    try {
        if (!q.Eof())
            spacing = q.FieldByName(QStringLiteral("pixelSpacing")).AsFloat();
    } catch (...) {
        q.Close();
        throw;
    }
    q.Close();
    return spacing;
}

} // namespace kestrova::analysis
