#include "analysis/ui/ivus_store.h"

#include "app/data.h"
#include "study/point_list.h"

namespace kestrova::analysis {

StoredIvus LoadStoredIvus(Tdm& dm, int code, int frameCount)
{
    const auto n = static_cast<std::size_t>(std::max(0, frameCount));
    StoredIvus stored;
    stored.outer.resize(n);
    stored.inner.resize(n);
    stored.userOuter.resize(n);
    stored.userInner.resize(n);
    dm.LoadIvusContours(code, stored.catheterCentre, stored.catheterEdge, stored.outer, stored.inner,
                        stored.userOuter, stored.userInner, &stored.skippedFrames);
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
    return dm.ReadPixelSpacing(code);
}

} // namespace kestrova::analysis
