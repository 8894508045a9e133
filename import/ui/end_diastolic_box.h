#pragma once
// The group box " Automatic selection of end diastolic frames " of the wizard's IVUS
// page: the five parameters of the selection with their restore buttons, picking the ECG
// start row on the IVUS player's frame, and "Start", which replaces the player's
// selection with the frames the selection picks.
#include <QGroupBox>
#include <QPoint>
#include <QString>

#include <iosfwd>

class QDoubleSpinBox;
class QPushButton;
class QSpinBox;

namespace studyimport {

class TPlayerFrame;

class TEndDiastolicBox : public QGroupBox {
    Q_OBJECT
public:
    // `player` is the IVUS page's player; its image view's mouse events pick the ECG row.
    explicit TEndDiastolicBox(TPlayerFrame* player, QWidget* parent = nullptr);
    ~TEndDiastolicBox() override;

    // The number of IVUS frame files (the wizard's count); until set, the player's count.
    void SetIvusFrameCount(int count) { ivusFrameCount_ = count; }
    int IvusFrameCount() const;
    // Frame files are prefix + "." + n + ".jpg"; by default the IVUS working folder's
    // "<program folder>/cache/tmp/IVUS/IVUS".
    void SetFramePrefix(const QString& prefix) { prefix_ = prefix; }
    QString FramePrefix() const;
    // Where the selection's diagnostic lines go (standard output by default; null: none).
    void SetLog(std::ostream* log) { log_ = log; }

    bool PickEcgRowMode = false;

    QSpinBox* cxSpinEdit1 = nullptr;       // cardiogram start row
    QDoubleSpinBox* cxSpinEdit2 = nullptr; // ECG specificity
    QSpinBox* cxSpinEdit3 = nullptr;       // ECG luminance
    QDoubleSpinBox* cxSpinEdit4 = nullptr; // sensitivity
    QSpinBox* cxSpinEdit5 = nullptr;       // window
    QPushButton* cxButton6 = nullptr;      // "Start"
    QPushButton* cxButton7 = nullptr;      // restore specificity
    QPushButton* cxButton8 = nullptr;      // restore luminance
    QPushButton* cxButton9 = nullptr;      // restore sensitivity
    QPushButton* cxButton10 = nullptr;     // restore window
    QPushButton* cxButton11 = nullptr;     // "select on frame"

public slots:
    void cxButton6Click();
    void cxButton7Click();
    void cxButton8Click();
    void cxButton9Click();
    void cxButton10Click();
    void cxButton11Click();
    void PlayerFrame3ImgViewMouseMove(QPoint framePosition);
    void PlayerFrame3ImgViewMouseDown(QPoint framePosition);

private:
    bool InsideFrame(QPoint p) const;

    TPlayerFrame* player_;
    int ivusFrameCount_ = -1;
    QString prefix_;
    std::ostream* log_;
};

} // namespace studyimport
