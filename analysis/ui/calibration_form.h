// The calibration dialog TCalibrationForm (global pointer `CalibrationForm`): one modal
// dialog per step over the first frame file of the card's IVUS recording.
//   Step 1 of 2, catheter calibration: the catheter centre (red cross) and a point on the
//   catheter's edge (green cross); OK writes them into the IVUS window.
//   Step 2 of 2, distance calibration: points A (red) and B (green) and their distance in
//   millimetres; OK writes them into the open card.
// Presses on the image set the first point, the second, the first again, and so on.
#pragma once

#include "study/contour.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class TCalibrationForm;
class TIVUSForm;

// The image of the dialog with the two crosses; presses go to the dialog.
class CalibrationImageView : public QWidget {
    Q_OBJECT
public:
    explicit CalibrationImageView(TCalibrationForm* form, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    TCalibrationForm* form_;
};

class TCalibrationForm : public QDialog {
    Q_OBJECT
public:

    // Builds the dialog of one step over IVUS.0.jpg of the IVUS window's card; the
    // distance step reports its accepted points through the window's context. Throws
    // std::runtime_error when the frame file cannot be read.
    TCalibrationForm(TIVUSForm* ivus, bool distanceStep, QWidget* owner = nullptr);
    ~TCalibrationForm() override;

    bool SettingFirstPoint = false;
    PixelPoint FirstPoint;
    PixelPoint SecondPoint;
    const bool DistanceStep;
    QImage Image;

    QLabel* cxLabel4 = nullptr;          // title
    QPlainTextEdit* cxMemo1 = nullptr;   // instructions
    QLabel* cxLabel5 = nullptr;
    QLineEdit* cxTextEdit1 = nullptr;
    QLabel* cxLabel2 = nullptr;
    QLineEdit* cxTextEdit2 = nullptr;
    QLabel* cxLabel3 = nullptr;
    QDoubleSpinBox* cxSpinEdit1 = nullptr;
    QPushButton* cxButton1 = nullptr;    // OK
    QPushButton* cxButton2 = nullptr;    // Cancel
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QScrollArea* ImgView = nullptr;
    CalibrationImageView* ImgCanvas = nullptr;

    // A press at (X, Y) in the image view (view coordinates).
    void ImgViewMouseDown(Qt::MouseButton button, int X, int Y);
    void cxButton1Click();
    void cxButton2Click();
    // Escape and the space bar close the dialog.
    void FormKeyPress(int key);

    // "x,y"
    static QString PointText(PixelPoint p);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    TIVUSForm* ivus_;
};

extern QPointer<TCalibrationForm> CalibrationForm;
