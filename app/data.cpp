#include "app/data.h"

#include "app/errors.h"
#include "study/point_list.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString kPatientColumnsCaptions[][2] = {
    {"code", "Code"}, {"surname", "Surname"}, {"name", "Name"}, {"sex", "Gender"},
    {"birthdate", "Birthdate"}, {"hematocrit", "Hematocrit"}, {"glucose", "Glucose"},
    {"urea", "Urea"}, {"creatinine", "Creatinine"}, {"triglycerides", "Triglycerides"},
    {"cholesterol", "Cholesterol"}, {"LDC-C", "LDC-C"}, {"HDL-C", "HDL-C"},
};

// A point list stored in the columns x and y of the current row.
WallContour ReadPoints(const Statement& q, const QString& x, const QString& y, EmptyText empty)
{
    return ParsePointList(q.FieldByName(x).AsString().toStdString(), q.FieldByName(y).AsString().toStdString(), empty,
                          UnequalLists::PairUpToShorter);
}

void AppendPoints(WallContour& to, const WallContour& from) { to.insert(to.end(), from.begin(), from.end()); }

void LoadWalls(Statement& q, int code, const QString& x, const QString& y, const QString& ux, const QString& uy,
               FrameContourList& shown, FrameContourList& initial, std::vector<int>* skipped)
{
    q.Param(QStringLiteral("patientID"), code);
    q.Open();
    try {
        for (; !q.Eof(); q.Next()) {
            const int k = q.FieldByName(QStringLiteral("frame")).AsInteger();
            if (k < 0 || static_cast<std::size_t>(k) >= shown.size() || static_cast<std::size_t>(k) >= initial.size()) {
                if (!skipped)
                    throw ListIndexError("List index out of bounds (" + std::to_string(k) + ")");
                skipped->push_back(k);
                continue;
            }
            AppendPoints(shown[k], ReadPoints(q, x, y, EmptyText::Damaged));
            AppendPoints(initial[k], ReadPoints(q, ux, uy, EmptyText::Damaged));
        }
    } catch (...) {
        q.Close();
        throw;
    }
    q.Close();
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
    const QString p = view == AngioView::LAO ? QStringLiteral("L") : QStringLiteral("R");
    qGetANGIO.Param(QStringLiteral("patientID"), code);
    qGetANGIO.Open();
    if (qGetANGIO.Eof()) {
        qGetANGIO.Close();
        return 0;
    }
    WallContour read[4];
    int frame = 0;
    try {
        frame = qGetANGIO.FieldByName(view == AngioView::LAO ? QStringLiteral("LAOframe") : QStringLiteral("RAOframe"))
                    .AsInteger();
        const char* kinds[4] = {"catheter", "lumenA", "lumenB", "width"};
        for (int i = 0; i < 4; ++i) {
            const QString base = p + QLatin1String(kinds[i]);
            read[i] = ReadPoints(qGetANGIO, base + QLatin1Char('X'), base + QLatin1Char('Y'), EmptyText::NoPoints);
        }
    } catch (...) {
        qGetANGIO.Close();
        throw;
    }
    qGetANGIO.Close();
    AppendPoints(catheter, read[0]);
    AppendPoints(lumenA, read[1]);
    AppendPoints(lumenB, read[2]);
    AppendPoints(width, read[3]);
    return frame;
}

void Tdm::LoadIvusContours(int code, PixelPoint& centre, PixelPoint& edge, FrameContourList& outer,
                           FrameContourList& inner, FrameContourList& userOuter, FrameContourList& userInner,
                           std::vector<int>* skippedFrames)
{
    qGetIVUS.Param(QStringLiteral("patientID"), code);
    qGetIVUS.Open();
    if (qGetIVUS.Eof()) {
        qGetIVUS.Close();
        return;
    }
    try {
        centre = {qGetIVUS.FieldByName(QStringLiteral("catheterCenterX")).AsInteger(),
                  qGetIVUS.FieldByName(QStringLiteral("catheterCenterY")).AsInteger()};
        edge = {qGetIVUS.FieldByName(QStringLiteral("catheterEdgeX")).AsInteger(),
                qGetIVUS.FieldByName(QStringLiteral("catheterEdgeY")).AsInteger()};
    } catch (...) {
        qGetIVUS.Close();
        throw;
    }
    qGetIVUS.Close();
    LoadWalls(qGetOuterWall, code, "outerWallX", "outerWallY", "userOuterWallX", "userOuterWallY", outer, userOuter,
              skippedFrames);
    LoadWalls(qGetInnerWall, code, "innerWallX", "innerWallY", "userInnerWallX", "userInnerWallY", inner, userInner,
              skippedFrames);
}
