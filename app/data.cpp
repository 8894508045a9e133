#include "app/data.h"

#include "app/errors.h"
#include "study/point_list.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

namespace {

const QString kPatientColumnsCaptions[][2] = {
    {"code", "Code"}, {"surname", "Surname"}, {"name", "Name"}, {"sex", "Gender"},
    {"birthdate", "Birthdate"}, {"hematocrit", "Hematocrit"}, {"glucose", "Glucose"},
    {"urea", "Urea"}, {"creatinine", "Creatinine"}, {"triglycerides", "Triglycerides"},
    {"cholesterol", "Cholesterol"}, {"LDC-C", "LDC-C"}, {"HDL-C", "HDL-C"},
};

// The columns of one wall's rows.
struct WallColumns {
    const char* wall;  // "outer" or "inner"
    QString x, y, userX, userY;
};

const WallColumns kOuterColumns{"outer", QStringLiteral("outerWallX"), QStringLiteral("outerWallY"),
                                QStringLiteral("userOuterWallX"), QStringLiteral("userOuterWallY")};
const WallColumns kInnerColumns{"inner", QStringLiteral("innerWallX"), QStringLiteral("innerWallY"),
                                QStringLiteral("userInnerWallX"), QStringLiteral("userInnerWallY")};

// A statement opened on one card's rows (`key` = the card code) and closed again on
// every way out of the scope.
class OpenRows {
public:
    OpenRows(Statement& q, const QString& key, int code) : q_(q)
    {
        q.Param(key, code);
        q.Open();
    }
    ~OpenRows() { q_.Close(); }
    OpenRows(const OpenRows&) = delete;
    OpenRows& operator=(const OpenRows&) = delete;

private:
    Statement& q_;
};

std::string Text(const Statement& q, const QString& column) { return q.FieldByName(column).AsString().toStdString(); }

// A point list stored in the columns x and y of the current row. A damaged one throws
// ConversionError "<x or y or x/y>: <why>", naming the column at fault (both when the two
// lists differ in length).
WallContour ReadPoints(const Statement& q, const QString& x, const QString& y, EmptyText empty)
{
    const std::string xText = Text(q, x), yText = Text(q, y);
    try {
        return ParsePointList(xText, yText, empty);
    } catch (const ConversionError& e) {
        QString column = x + QLatin1Char('/') + y;
        try {
            ParsePointList(xText, xText, empty);
            try {
                ParsePointList(yText, yText, empty);
            } catch (const ConversionError&) {
                column = y;
            }
        } catch (const ConversionError&) {
            column = x;
        }
        throw ConversionError(column.toStdString() + ": " + e.what());
    }
}

// A whole number of the current row that must fit `int` (null reads 0); empty when the
// stored value is not such a number.
std::optional<int> ReadWholeNumber(const Statement& q, const QString& column)
{
    const QVariant v = q.FieldByName(column).Value();
    if (v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d) || d != std::trunc(d) || d < std::numeric_limits<int>::min() ||
        d > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(d);
}

std::string CardText(int code) { return "card " + std::to_string(code); }

// Frame k as the user counts it (k + 1), without overflow.
std::string FrameText(int k) { return std::to_string(static_cast<long long>(k) + 1); }

// One wall row of the current statement row: its frame and its shown points, and with
// `initial` also its initial (user) points. Throws ConversionError naming the card, the
// wall, the frame (counted from 1) and the column.
struct WallRowRead {
    int frame = 0;
    WallContour shown;
    WallContour initial;
};

WallRowRead ReadWallRow(const Statement& q, int code, const WallColumns& c, bool initial)
{
    WallRowRead row;
    const std::optional<int> frame = ReadWholeNumber(q, QStringLiteral("frame"));
    if (!frame || q.FieldByName(QStringLiteral("frame")).IsNull())
        throw ConversionError("A stored " + std::string(c.wall) + " wall row of " + CardText(code) + " (id " +
                              q.FieldByName(QStringLiteral("id")).AsString().toStdString() +
                              ") has no valid frame number");
    row.frame = *frame;
    try {
        row.shown = ReadPoints(q, c.x, c.y, EmptyText::Damaged);
        if (initial)
            row.initial = ReadPoints(q, c.userX, c.userY, EmptyText::Damaged);
    } catch (const ConversionError& e) {
        throw ConversionError("The stored " + std::string(c.wall) + " wall of frame " + FrameText(row.frame) + " of " +
                              CardText(code) + " cannot be read (" + e.what() + ")");
    }
    return row;
}

// The readable rows of one wall under the rule of StoredCard.
void ReadWallRows(Statement& q, int code, const WallColumns& c, std::vector<StoredWallRow>& out,
                  std::vector<std::string>& warnings)
{
    struct Row {
        int frame;
        bool usable;
        WallContour points;
    };
    std::vector<Row> rows;
    std::map<int, int> perFrame;
    {
        const OpenRows open(q, QStringLiteral("patientID"), code);
        for (q.First(); !q.Eof(); q.Next()) {
            WallRowRead read;
            try {
                read = ReadWallRow(q, code, c, false);
            } catch (const ConversionError& e) {
                const std::optional<int> frame = ReadWholeNumber(q, QStringLiteral("frame"));
                if (!frame || q.FieldByName(QStringLiteral("frame")).IsNull()) {
                    warnings.push_back(std::string(e.what()) + "; the row is left out.");
                    continue;
                }
                warnings.push_back(std::string(e.what()) + "; frame " + FrameText(*frame) + " is left out.");
                rows.push_back({*frame, false, {}});
                ++perFrame[*frame];
                continue;
            }
            const bool empty = read.shown.empty();
            if (empty)
                warnings.push_back("The stored " + std::string(c.wall) + " wall of frame " + FrameText(read.frame) +
                                   " of " + CardText(code) + " holds no point; frame " + FrameText(read.frame) +
                                   " is left out.");
            rows.push_back({read.frame, !empty, std::move(read.shown)});
            ++perFrame[read.frame];
        }
    }
    for (const auto& [frame, count] : perFrame)
        if (count > 1)
            warnings.push_back("The " + std::string(c.wall) + " wall of frame " + FrameText(frame) + " of " +
                               CardText(code) + " is stored " + std::to_string(count) + " times; frame " +
                               FrameText(frame) + " is left out.");
    for (Row& row : rows)
        if (row.usable && perFrame[row.frame] == 1)
            out.push_back({row.frame, std::move(row.points)});
}

void AppendPoints(WallContour& to, const WallContour& from) { to.insert(to.end(), from.begin(), from.end()); }

void LoadWalls(Statement& q, int code, const WallColumns& c, FrameContourList& shown, FrameContourList& initial,
               std::vector<int>* skipped)
{
    const OpenRows open(q, QStringLiteral("patientID"), code);
    for (; !q.Eof(); q.Next()) {
        const WallRowRead row = ReadWallRow(q, code, c, true);
        const int k = row.frame;
        if (k < 0 || static_cast<std::size_t>(k) >= shown.size() || static_cast<std::size_t>(k) >= initial.size()) {
            if (!skipped)
                throw ListIndexError("List index out of bounds (" + std::to_string(k) + ")");
            skipped->push_back(k);
            continue;
        }
        AppendPoints(shown[k], row.shown);
        AppendPoints(initial[k], row.initial);
    }
}

// Reads the tracing of one view from the current row of the angio statement.
StoredTracing ReadTracing(const Statement& q, AngioView view, int code)
{
    const QString p = view == AngioView::LAO ? QStringLiteral("L") : QStringLiteral("R");
    StoredTracing t;
    const std::optional<int> frame =
        ReadWholeNumber(q, view == AngioView::LAO ? QStringLiteral("LAOframe") : QStringLiteral("RAOframe"));
    t.frame = frame.value_or(0);
    const char* kinds[4] = {"catheter", "lumenA", "lumenB", "width"};
    WallContour* lists[4] = {&t.catheter, &t.lumenA, &t.lumenB, &t.width};
    for (int i = 0; i < 4; ++i) {
        const QString base = p + QLatin1String(kinds[i]);
        try {
            *lists[i] = ReadPoints(q, base + QLatin1Char('X'), base + QLatin1Char('Y'), EmptyText::NoPoints);
        } catch (const ConversionError& e) {
            throw ConversionError(std::string("The stored ") + (view == AngioView::LAO ? "LAO " : "RAO ") + kinds[i] +
                                  " tracing of " + CardText(code) + " cannot be read (" + e.what() + ")");
        }
    }
    return t;
}

} // namespace

// ---------------------------------------------------------------------------------------
PatientsModel::PatientsModel(QObject* parent, const QSqlDatabase& db, const QString& select_text)
    : QSqlTableModel(parent, db), select_text_(select_text)
{
    setEditStrategy(QSqlTableModel::OnRowChange);
    setTable(QStringLiteral("patient"));
    if (lastError().isValid())
        throw DatabaseError(lastError().text().toStdString());
    for (const auto& cc : kPatientColumnsCaptions) {
        const int c = fieldIndex(cc[0]);
        if (c >= 0)
            setHeaderData(c, Qt::Horizontal, cc[1]);
    }
}

QString PatientsModel::selectStatement() const { return select_text_; }

QVariant PatientsModel::data(const QModelIndex& index, int role) const
{
    const QVariant v = QSqlTableModel::data(index, role);
    if (!index.isValid())
        return v;
    if ((role == Qt::DisplayRole || role == Qt::EditRole) && index.column() == fieldIndex(QStringLiteral("birthdate"))) {
        if (v.isNull() || v.toString().isEmpty())
            return {};
        const QString s = v.toString();
        QDate d = QDate::fromString(s.left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : v;
    }
    if (role == Qt::DisplayRole && index.column() == fieldIndex(QStringLiteral("sex"))) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("m"))
            return QStringLiteral("Male");
        if (s == QLatin1String("f"))
            return QStringLiteral("Female");
    }
    return v;
}

bool PatientsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (index.isValid() && index.column() == fieldIndex(QStringLiteral("birthdate")) && role == Qt::EditRole) {
        QDate d = value.toDate();
        if (!d.isValid())
            d = QDate::fromString(value.toString().left(10), Qt::ISODate);
        return QSqlTableModel::setData(index, d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant(), role);
    }
    return QSqlTableModel::setData(index, value, role);
}

void PatientsModel::Refresh()
{
    if (!select())
        throw DatabaseError(lastError().text().toStdString());
    while (canFetchMore())
        fetchMore();
}

void PatientsModel::Post()
{
    if (isDirty() && !submitAll())
        throw DatabaseError(lastError().text().toStdString());
}

// ---------------------------------------------------------------------------------------
Tdm::Tdm(QObject* owner)
    : QObject(owner),
      qGetAllPatients(MyEmbConnection1, "qGetAllPatients", "SELECT * FROM patient"),
      qGetPatient(MyEmbConnection1, "qGetPatient", "SELECT * FROM patient WHERE\r\ncode = :code", "patient"),
      qGetIVUS(MyEmbConnection1, "qGetIVUS", "SELECT * FROM ivus WHERE patientID = :patientID"),
      qInsertIVUS(MyEmbConnection1, "qInsertIVUS",
                  "INSERT INTO `ivus` (`patientID`, `telodiastolic`, `catheterCenterX`, `catheterCenterY`, "
                  "`catheterEdgeX`, `catheterEdgeY`) values (:patientID, :telodiastolic, :catheterCenterX, "
                  ":catheterCenterY, :catheterEdgeX, :catheterEdgeY);"),
      qUpdateIVUS(MyEmbConnection1, "qUpdateIVUS",
                  "UPDATE `ivus` SET `patientID`=:patientID,`telodiastolic`=:telodiastolic,"
                  "`catheterCenterX`=:catheterCenterX,`catheterCenterY`=:catheterCenterY,"
                  "`catheterEdgeX`=:catheterEdgeX,`catheterEdgeY`=:catheterEdgeY where `patientID`=:patientID;"),
      qGetANGIO(MyEmbConnection1, "qGetANGIO", "SELECT * FROM angio WHERE patientID = :patientID"),
      qInsertANGIO(MyEmbConnection1, "qInsertANGIO",
                   "insert into `angio`(`patientID`,`LcatheterX`,`LcatheterY`,`LlumenAX`,`LlumenAY`,`LlumenBX`,"
                   "`LlumenBY`,`LwidthX`,`LwidthY`,`RcatheterX`,`RcatheterY`,`RlumenAX`,`RlumenAY`,`RlumenBX`,"
                   "`RlumenBY`,`RwidthX`,`RwidthY`,`LAOframe`,`RAOframe`) values (:patientID,:LcatheterX,"
                   ":LcatheterY,:LlumenAX,:LlumenAY,:LlumenBX,:LlumenBY,:LwidthX,:LwidthY,:RcatheterX,"
                   ":RcatheterY,:RlumenAX,:RlumenAY,:RlumenBX,:RlumenBY,:RwidthX,:RwidthY,:LAOframe,:RAOframe);"),
      qUpdateANGIO(MyEmbConnection1, "qUpdateANGIO",
                   "update `angio` set `LcatheterX`=:LcatheterX,`LcatheterY`=:LcatheterY,`LlumenAX`=:LlumenAX,"
                   "`LlumenAY`=:LlumenAY,`LlumenBX`=:LlumenBX,`LlumenBY`=:LlumenBY,`LwidthX`=:LwidthX,"
                   "`LwidthY`=:LwidthY,`RcatheterX`=:RcatheterX,`RcatheterY`=:RcatheterY,`RlumenAX`=:RlumenAX,"
                   "`RlumenAY`=:RlumenAY,`RlumenBX`=:RlumenBX,`RlumenBY`=:RlumenBY,`RwidthX`=:RwidthX,"
                   "`RwidthY`=:RwidthY,`LAOframe`=:LAOframe,`RAOframe`=:RAOframe where `patientID`=:patientID;"),
      qInsertOuterWall(MyEmbConnection1, "qInsertOuterWall",
                       "INSERT INTO `outerWall` (`patientID`, `frame`, `telodiastolicFrame`, `outerWallX`, "
                       "`outerWallY`, `userOuterWallX`, `userOuterWallY`) values (:patientID, :frame, "
                       ":telodiastolicFrame, :outerWallX, :outerWallY, :userOuterWallX, :userOuterWallY);"),
      qInsertInnerWall(MyEmbConnection1, "qInsertInnerWall",
                       "INSERT INTO `innerWall` (`patientID`, `frame`, `telodiastolicFrame`, `innerWallX`, "
                       "`innerWallY`, `userInnerWallX`, `userInnerWallY`) values (:patientID, :frame, "
                       ":telodiastolicFrame, :innerWallX, :innerWallY, :userInnerWallX, :userInnerWallY);"),
      qDeleteOuterWall(MyEmbConnection1, "qDeleteOuterWall", "DELETE FROM `outerWall` WHERE `patientID`=:patientID;"),
      qDeleteInnerWall(MyEmbConnection1, "qDeleteInnerWall", "DELETE FROM `innerWall` WHERE `patientID`=:patientID;"),
      qGetOuterWall(MyEmbConnection1, "qGetOuterWall", "SELECT * FROM outerWall WHERE patientID = :patientID"),
      qGetInnerWall(MyEmbConnection1, "qGetInnerWall", "SELECT * FROM innerWall WHERE patientID = :patientID"),
      qGetOuterWallDesc(MyEmbConnection1, "qGetOuterWallDesc",
                        "SELECT * FROM outerWall WHERE patientID = :patientID ORDER BY id"),
      qGetInnerWallDesc(MyEmbConnection1, "qGetInnerWallDesc",
                        "SELECT * FROM innerWall WHERE patientID = :patientID ORDER BY id"),
      qGetAllVessel(MyEmbConnection1, "qGetAllVessel", "SELECT * FROM vessel"),
      qGetAllPhase(MyEmbConnection1, "qGetAllPhase", "SELECT * FROM phase"),
      qGetAllExamination(MyEmbConnection1, "qGetAllExamination", "SELECT * FROM examination"),
      qGetAllIntervention(MyEmbConnection1, "qGetAllIntervention", "SELECT * FROM intervention"),
      qDeletePatient(MyEmbConnection1, "qDeletePatient", "DELETE FROM `patient` WHERE `id`=:id;")
{
    setObjectName(QStringLiteral("dm"));
}

Tdm::~Tdm() = default;

std::vector<Statement*> Tdm::AllStatements()
{
    return {&qGetAllPatients, &qGetPatient, &qGetIVUS, &qInsertIVUS, &qUpdateIVUS, &qGetANGIO, &qInsertANGIO,
            &qUpdateANGIO, &qInsertOuterWall, &qInsertInnerWall, &qDeleteOuterWall, &qDeleteInnerWall,
            &qGetOuterWall, &qGetInnerWall, &qGetOuterWallDesc, &qGetInnerWallDesc, &qGetAllVessel,
            &qGetAllPhase, &qGetAllExamination, &qGetAllIntervention, &qDeletePatient};
}

std::unique_ptr<PatientsModel> Tdm::NewPatientsModel(QObject* parent)
{
    return std::make_unique<PatientsModel>(parent, MyEmbConnection1.Database(), qGetAllPatients.SQL());
}

int Tdm::LoadAngioView(AngioView view, int code, WallContour& catheter, WallContour& lumenA, WallContour& lumenB,
                       WallContour& width)
{
    StoredTracing read;
    {
        const OpenRows open(qGetANGIO, QStringLiteral("patientID"), code);
        if (qGetANGIO.Eof())
            return 0;
        read = ReadTracing(qGetANGIO, view, code);
    }
    AppendPoints(catheter, read.catheter);
    AppendPoints(lumenA, read.lumenA);
    AppendPoints(lumenB, read.lumenB);
    AppendPoints(width, read.width);
    return read.frame;
}

void Tdm::LoadIvusContours(int code, PixelPoint& centre, PixelPoint& edge, FrameContourList& outer,
                           FrameContourList& inner, FrameContourList& userOuter, FrameContourList& userInner,
                           std::vector<int>* skippedFrames)
{
    Transaction read(MyEmbConnection1);
    {
        const OpenRows open(qGetIVUS, QStringLiteral("patientID"), code);
        if (qGetIVUS.Eof())
            return;
        centre = {qGetIVUS.FieldByName(QStringLiteral("catheterCenterX")).AsInteger(),
                  qGetIVUS.FieldByName(QStringLiteral("catheterCenterY")).AsInteger()};
        edge = {qGetIVUS.FieldByName(QStringLiteral("catheterEdgeX")).AsInteger(),
                qGetIVUS.FieldByName(QStringLiteral("catheterEdgeY")).AsInteger()};
    }
    LoadWalls(qGetOuterWall, code, kOuterColumns, outer, userOuter, skippedFrames);
    LoadWalls(qGetInnerWall, code, kInnerColumns, inner, userInner, skippedFrames);
    read.Commit();
}

double Tdm::ReadPixelSpacing(int code)
{
    const OpenRows open(qGetPatient, QStringLiteral("code"), code);
    return qGetPatient.Eof() ? 0.0 : qGetPatient.FieldByName(QStringLiteral("pixelSpacing")).AsFloat();
}

StoredCard Tdm::ReadStoredCard(int code)
{
    StoredCard card;
    card.code = code;
    Transaction read(MyEmbConnection1);

    {
        const OpenRows open(qGetPatient, QStringLiteral("code"), code);
        card.hasPatientRow = !qGetPatient.Eof();
        if (card.hasPatientRow)
            card.pixelSpacing = qGetPatient.FieldByName(QStringLiteral("pixelSpacing")).AsFloat();
    }
    {
        const OpenRows open(qGetANGIO, QStringLiteral("patientID"), code);
        card.hasAngioRow = !qGetANGIO.Eof();
        if (card.hasAngioRow) {
            card.lao = ReadTracing(qGetANGIO, AngioView::LAO, code);
            card.rao = ReadTracing(qGetANGIO, AngioView::RAO, code);
        }
    }
    {
        const OpenRows open(qGetIVUS, QStringLiteral("patientID"), code);
        card.hasIvusRow = !qGetIVUS.Eof();
        if (card.hasIvusRow) {
            const auto point = [](std::optional<int> x, std::optional<int> y) -> std::optional<PixelPoint> {
                if (!x || !y || *x < -kMaxPointCoordinate || *x > kMaxPointCoordinate || *y < -kMaxPointCoordinate ||
                    *y > kMaxPointCoordinate)
                    return std::nullopt;
                return PixelPoint{*x, *y};
            };
            const std::optional<PixelPoint> centre = point(ReadWholeNumber(qGetIVUS, QStringLiteral("catheterCenterX")),
                                                           ReadWholeNumber(qGetIVUS, QStringLiteral("catheterCenterY")));
            const std::optional<PixelPoint> edge = point(ReadWholeNumber(qGetIVUS, QStringLiteral("catheterEdgeX")),
                                                         ReadWholeNumber(qGetIVUS, QStringLiteral("catheterEdgeY")));
            if (centre)
                card.catheterCentre = *centre;
            else
                card.warnings.push_back("The stored catheter centre of " + CardText(code) + " (" +
                                        qGetIVUS.FieldByName(QStringLiteral("catheterCenterX")).AsString().toStdString() +
                                        ", " +
                                        qGetIVUS.FieldByName(QStringLiteral("catheterCenterY")).AsString().toStdString() +
                                        ") lies outside any image; it is taken as not set.");
            if (edge)
                card.catheterEdge = *edge;
        }
    }

    if (card.hasIvusRow) {
        ReadWallRows(qGetOuterWallDesc, code, kOuterColumns, card.outer, card.warnings);
        ReadWallRows(qGetInnerWallDesc, code, kInnerColumns, card.inner, card.warnings);
    }
    read.Commit();
    return card;
}

FrameContourList ContoursByFrame(const std::vector<StoredWallRow>& rows, int frameCount, std::vector<int>* outside)
{
    FrameContourList contours(static_cast<std::size_t>(std::max(0, frameCount)));
    for (const StoredWallRow& row : rows) {
        if (row.frame < 0 || row.frame >= frameCount) {
            if (outside)
                outside->push_back(row.frame);
            continue;
        }
        AppendPoints(contours[static_cast<std::size_t>(row.frame)], row.points);
    }
    return contours;
}
