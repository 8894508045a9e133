// The data module Tdm (global pointer `dm`, app/forms.h): the embedded database
// connection and the 21 fixed statements through which every window reads and writes
// the database, plus the two loaders of tracings and contours.
//
// Usage pattern of a statement (main thread only):
//     dm->qGetIVUS.Param("patientID", code);
//     dm->qGetIVUS.Open();
//     if (!dm->qGetIVUS.Eof()) text = dm->qGetIVUS.FieldByName("telodiastolic").AsString();
//     dm->qGetIVUS.Close();
// Every failure throws DatabaseError. Group writes that belong together in a Transaction
// (app/connection.h).
//
// `qGetAllPatients` is the text of the editable patients list; windows that edit patient
// rows (the cards list, the wizard) take their own model from NewPatientsModel(), which
// selects with exactly that text and writes posted rows back to `patient`.
#pragma once

#include "app/connection.h"
#include "study/contour.h"
#include "app/statement.h"

#include <QObject>
#include <QSqlTableModel>

#include <memory>
#include <string>
#include <vector>

// The patient table as an editable model: selects with the text of `qGetAllPatients`;
// the column captions are the cards list's; `birthdate` reads and writes as a QDate
// (stored as "YYYY-MM-DD"); `sex` shows "Male" / "Female".
class PatientsModel : public QSqlTableModel {
    Q_OBJECT
public:
    PatientsModel(QObject* parent, const QSqlDatabase& db, const QString& select_text);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Selects and fetches every row; throws DatabaseError on failure.
    void Refresh();
    // Writes pending edits; throws DatabaseError on failure.
    void Post();

protected:
    QString selectStatement() const override;

private:
    QString select_text_;
};

enum class AngioView { LAO, RAO };

// One readable stored wall row: its `frame` value (the analysed frame index k, shown to
// the user as k + 1) and its points.
struct StoredWallRow {
    int frame = 0;
    WallContour points;
    friend bool operator==(const StoredWallRow&, const StoredWallRow&) = default;
};

// One angiographic view of the angio row: its four point lists and its frame number.
struct StoredTracing {
    WallContour catheter;
    WallContour lumenA;
    WallContour lumenB;
    WallContour width;
    int frame = 0;
};

// Everything the 3D view, the graphs, the exports and the `reconstruct` command read of a
// card, read together in one read transaction, so a card saved meanwhile is seen either
// wholly before or wholly after that save.
//
// The rule for the wall rows: a row that cannot be read (a damaged or empty point-list
// text, X and Y lists of different lengths, a value no image can hold, a missing frame
// number), or whose frame holds no point, or that shares its frame with another row of
// the same wall, leaves out that wall of that frame only; one line in `warnings` names
// the wall, the frame (counted from 1), the card and, for a damaged text, the column.
struct StoredCard {
    int code = -1;
    bool hasPatientRow = false;
    double pixelSpacing = 0.0;  // the patient row's `pixelSpacing`, 0 when null
    bool hasIvusRow = false;
    PixelPoint catheterCentre;  // (0, 0) without an ivus row, or when the stored one is unusable
    PixelPoint catheterEdge;
    bool hasAngioRow = false;
    StoredTracing lao;
    StoredTracing rao;
    // The readable wall rows in ascending `id` (none without an ivus row), each frame at
    // most once per wall. Rows of any `frame` value are kept: the reader knows no frame count.
    std::vector<StoredWallRow> outer;
    std::vector<StoredWallRow> inner;
    std::vector<std::string> warnings;  // in reading order: centre, outer rows, inner rows
};

// The contours of analysed frames 0 .. frameCount - 1 from readable wall rows (a frame
// without a row has an empty contour). The `frame` values of rows outside that range are
// appended to `outside` when given.
FrameContourList ContoursByFrame(const std::vector<StoredWallRow>& rows, int frameCount,
                                 std::vector<int>* outside = nullptr);

class Tdm : public QObject {
    Q_OBJECT
public:
    explicit Tdm(QObject* owner = nullptr);
    ~Tdm() override;

    Connection MyEmbConnection1;

    Statement qGetAllPatients;
    Statement qGetPatient;          // editable: Edit / SetField / Post write the patient row
    Statement qGetIVUS;
    Statement qInsertIVUS;
    Statement qUpdateIVUS;
    Statement qGetANGIO;
    Statement qInsertANGIO;
    Statement qUpdateANGIO;
    Statement qInsertOuterWall;
    Statement qInsertInnerWall;
    Statement qDeleteOuterWall;
    Statement qDeleteInnerWall;
    Statement qGetOuterWall;
    Statement qGetInnerWall;
    Statement qGetOuterWallDesc;
    Statement qGetInnerWallDesc;
    Statement qGetAllVessel;
    Statement qGetAllPhase;
    Statement qGetAllExamination;
    Statement qGetAllIntervention;
    Statement qDeletePatient;

    // Every statement, in the order above.
    std::vector<Statement*> AllStatements();

    // A new editable model of the patient rows (not yet selected; call Refresh()).
    // Throws DatabaseError when not connected.
    std::unique_ptr<PatientsModel> NewPatientsModel(QObject* parent = nullptr);

    // Reads the card `code` (see StoredCard) in one read transaction. Throws DatabaseError
    // when the database cannot be read, ConversionError naming the card and the columns
    // when a stored tracing is damaged.
    StoredCard ReadStoredCard(int code);

    // The patient row's pixel spacing in mm per IVUS pixel (0 when null or without a row).
    double ReadPixelSpacing(int code);

    // Reads the stored tracing of one view of the card `code` and appends it to the four
    // lists; returns the view's frame number, or 0 (lists untouched) when the card has no
    // angio row. A damaged list (X and Y of different lengths, a value no image can hold)
    // throws ConversionError naming the card and the columns.
    int LoadAngioView(AngioView view, int code, WallContour& catheter, WallContour& lumenA,
                      WallContour& lumenB, WallContour& width);

    // Reads the catheter centre and edge and every wall row of the card `code` into the
    // IVUS window's per-frame lists, which must already hold one entry per analysed frame.
    // Without an ivus row nothing is read. A wall row of a frame past the lists throws
    // ListIndexError, unless `skippedFrames` is given: then the row is left out and its
    // `frame` value recorded there. A malformed point list throws ConversionError naming
    // the card, the wall, the frame and the column. Read in one read transaction.
    void LoadIvusContours(int code, PixelPoint& centre, PixelPoint& edge, FrameContourList& outer,
                          FrameContourList& inner, FrameContourList& userOuter, FrameContourList& userInner,
                          std::vector<int>* skippedFrames = nullptr);
};
