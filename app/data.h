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

    // Reads the stored tracing of one view of the card `code` and appends it to the four
    // lists; returns the view's frame number, or 0 (lists untouched) when the card has no
    // angio row. X and Y values are paired up to the shorter of the two lists.
    int LoadAngioView(AngioView view, int code, WallContour& catheter, WallContour& lumenA,
                      WallContour& lumenB, WallContour& width);

    // Reads the catheter centre and edge and every wall row of the card `code` into the
    // IVUS window's per-frame lists, which must already hold one entry per analysed frame.
    // Without an ivus row nothing is read. A wall row of a frame past the lists throws
    // ListIndexError, unless `skippedFrames` is given: then the row is left out and its
    // `frame` value recorded there. A malformed point list throws ConversionError.
    void LoadIvusContours(int code, PixelPoint& centre, PixelPoint& edge, FrameContourList& outer,
                          FrameContourList& inner, FrameContourList& userOuter, FrameContourList& userInner,
                          std::vector<int>* skippedFrames = nullptr);
};
