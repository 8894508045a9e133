#include "reconstruction/ui/export.h"

#include "app/data.h"

namespace {

exports::AngioTracing Tracing(StoredTracing& stored)
{
    return {std::move(stored.catheter), std::move(stored.lumenA), std::move(stored.lumenB), std::move(stored.width)};
}

std::vector<WallContour> Contours(std::vector<StoredWallRow>& rows)
{
    std::vector<WallContour> contours;
    contours.reserve(rows.size());
    for (StoredWallRow& row : rows)
        contours.push_back(std::move(row.points));
    return contours;
}

}  // namespace

exports::CardRows ReadExportRows(Tdm& data, const OpenCard& card)
{
    const int code = card.GetSelectedPatient();
    StoredCard stored = data.ReadStoredCard(code);
    exports::CardRows rows;
    rows.patientCode = code;
    rows.calibration = {card.CalibrationPointA, card.CalibrationPointB, card.CalibrationDistance};
    rows.pixelSpacing = stored.pixelSpacing;
    rows.lao = Tracing(stored.lao);
    rows.rao = Tracing(stored.rao);
    rows.ivus.catheterCenter = stored.catheterCentre;
    rows.ivus.outer = Contours(stored.outer);
    rows.ivus.inner = Contours(stored.inner);
    rows.warnings = std::move(stored.warnings);
    return rows;
}
