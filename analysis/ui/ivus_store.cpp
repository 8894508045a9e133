#include "analysis/ui/ivus_store.h"

#include "app/data.h"
#include "app/point_list.h"

namespace kestrova::analysis {

namespace {

FrameContours ToPixels(const FrameContourList& frames)
{
    FrameContours out(frames.size());
    for (std::size_t k = 0; k < frames.size(); ++k) {
        out[k].reserve(frames[k].size());
        for (const IntPoint& p : frames[k])
            out[k].push_back({p.x, p.y});
    }
    return out;
}

} // namespace

StoredIvus LoadStoredIvus(Tdm& dm, int code, int frameCount)
{
    const auto n = static_cast<std::size_t>(std::max(0, frameCount));
    FrameContourList outer(n), inner(n), userOuter(n), userInner(n);
    IntPoint centre{}, edge{};
    StoredIvus stored;
    dm.LoadIvusContours(code, centre, edge, outer, inner, userOuter, userInner, &stored.skippedFrames);
    stored.catheterCentre = {centre.x, centre.y};
    stored.catheterEdge = {edge.x, edge.y};
    stored.outer = ToPixels(outer);
    stored.inner = ToPixels(inner);
    stored.userOuter = ToPixels(userOuter);
    stored.userInner = ToPixels(userInner);
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
