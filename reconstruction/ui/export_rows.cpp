#include "reconstruction/ui/export.h"

#include "app/data.h"
#include "reconstruction/ui/open_statement.h"

namespace {

exports::AngioTracing ReadTracing(Tdm& data, AngioView view, int code)
{
    exports::AngioTracing tracing;
    data.LoadAngioView(view, code, tracing.catheter, tracing.lumenA, tracing.lumenB, tracing.width);
    return tracing;
}

std::vector<exports::WallRow> ReadWallRows(Statement& statement, int code, const QString& x, const QString& y)
{
    OpenStatement rows(statement, QStringLiteral("patientID"), code);
    std::vector<exports::WallRow> walls;
    walls.reserve(rows->RecordCount());
    for (rows->First(); !rows->Eof(); rows->Next())
        walls.push_back({rows->FieldByName(x).AsString().toStdString(),
                         rows->FieldByName(y).AsString().toStdString()});
    return walls;
}

}  // namespace

exports::CardRows ReadExportRows(Tdm& data, const OpenCard& card)
{
    exports::CardRows rows;
    const int code = card.GetSelectedPatient();
    rows.patientCode = code;
    rows.calibration = {card.CalibrationPointA, card.CalibrationPointB, card.CalibrationDistance};

    rows.lao = ReadTracing(data, AngioView::LAO, code);
    rows.rao = ReadTracing(data, AngioView::RAO, code);

    {
        OpenStatement ivus(data.qGetIVUS, QStringLiteral("patientID"), code);
        if (!ivus->Eof())
            rows.ivus.catheterCenter = {ivus->FieldByName(QStringLiteral("catheterCenterX")).AsInteger(),
                                        ivus->FieldByName(QStringLiteral("catheterCenterY")).AsInteger()};
    }
    {
        OpenStatement patient(data.qGetPatient, QStringLiteral("code"), code);
        if (!patient->Eof())
            rows.pixelSpacing = patient->FieldByName(QStringLiteral("pixelSpacing")).AsFloat();
    }
    rows.ivus.outer = ReadWallRows(data.qGetOuterWallDesc, code, QStringLiteral("outerWallX"),
                                   QStringLiteral("outerWallY"));
    rows.ivus.inner = ReadWallRows(data.qGetInnerWallDesc, code, QStringLiteral("innerWallX"),
                                   QStringLiteral("innerWallY"));
    return rows;
}
