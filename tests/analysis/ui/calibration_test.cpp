// The two calibration dialogs and the "Calibration" button of the IVUS window: the
// points the presses set, the refusals at OK, and what reaches the patient row.
#include "ivus_fixture.h"

#include "analysis/ui/calibration_form.h"
#include "analysis/ui/ivus_form.h"
#include "app/forms.h"
#include "app/main_form.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

namespace {

// Acts on each calibration dialog as it opens (the dialogs are modal): the next scripted
// step runs once per dialog; a dialog left without a step is cancelled.
class DialogScript {
public:
    std::deque<std::function<void(TCalibrationForm&)>> steps;
    int dialogsSeen = 0;

    DialogScript()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            TCalibrationForm* d = CalibrationForm.data();
            if (!d || d == last_ || !d->isVisible())
                return;
            last_ = d;
            ++dialogsSeen;
            if (steps.empty()) {
                d->reject();
                return;
            }
            auto step = steps.front();
            steps.pop_front();
            step(*d);
        });
        timer_.start();
    }

private:
    QTimer timer_;
    TCalibrationForm* last_ = nullptr;
};

} // namespace

class Calibration : public IvusWindowTest {
protected:
    TIVUSForm* OpenUncalibratedCard()
    {
        AddPatient(21, 0.125);
        WriteFrames(21, {0, 1});
        AddIvusRow(21, QStringLiteral("0 1 -1"));
        TIVUSForm* w = OpenCard(21);
        prompter_.Clear();
        return w;
    }
    QString PatientRow() const
    {
        return Query(QStringLiteral("SELECT calibrationPointAX || ',' || calibrationPointAY || ',' || calibrationPointBX "
                                    "|| ',' || calibrationPointBY || ',' || calibrationDistance || ',' || pixelSpacing "
                                    "FROM patient WHERE code = 21"));
    }
};

TEST_F(Calibration, PressesSetTheCentreThenTheEdgeAndTakeTurns)
{
    TIVUSForm* w = OpenUncalibratedCard();
    ASSERT_NE(w, nullptr);
    TCalibrationForm d(w, false);
    EXPECT_EQ(d.cxLabel4->text(), QStringLiteral("STEP 1/2 : Catheter Calibration"));
    EXPECT_EQ(d.cxLabel5->text(), QStringLiteral("Center (X,Y)"));
    EXPECT_EQ(d.cxLabel2->text(), QStringLiteral("Catheter edge (X,Y)"));
    EXPECT_EQ(d.cxButton1->text(), QStringLiteral("OK (1/2)"));
    EXPECT_FALSE(d.cxButton2->isHidden());
    EXPECT_TRUE(d.cxSpinEdit1->isHidden());
    // An uncalibrated card: no crosses, empty texts; OK refuses.
    EXPECT_TRUE(d.cxTextEdit1->text().isEmpty());
    d.cxButton1Click();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Please define all values"));
    EXPECT_EQ(prompter_.messages[0].icon, Prompter::Icon::Warning);

    d.ImgViewMouseDown(Qt::LeftButton, 120, 87);
    EXPECT_EQ(d.FirstPoint, (PixelPoint{120, 87}));
    EXPECT_EQ(d.cxTextEdit1->text(), QStringLiteral("120,87"));
    d.ImgViewMouseDown(Qt::LeftButton, 130, 87);
    EXPECT_EQ(d.SecondPoint, (PixelPoint{130, 87}));
    EXPECT_EQ(d.cxTextEdit2->text(), QStringLiteral("130,87"));
    d.ImgViewMouseDown(Qt::LeftButton, 101, 99);  // the third press moves the centre
    EXPECT_EQ(d.FirstPoint, (PixelPoint{101, 99}));
    // A press beside the image sets nothing but still takes a turn.
    d.ImgViewMouseDown(Qt::LeftButton, 300, 40);
    EXPECT_EQ(d.SecondPoint, (PixelPoint{130, 87}));
    d.ImgViewMouseDown(Qt::LeftButton, 50, 60);
    EXPECT_EQ(d.FirstPoint, (PixelPoint{50, 60}));
    // The edges: x = 0 is taken (and refused at OK), y = 0 is not, the far edges stay inside.
    d.ImgViewMouseDown(Qt::LeftButton, 200, 200);
    EXPECT_EQ(d.SecondPoint, (PixelPoint{199, 199}));
    d.ImgViewMouseDown(Qt::LeftButton, 0, 50);
    EXPECT_EQ(d.FirstPoint, (PixelPoint{0, 50}));
    d.ImgViewMouseDown(Qt::LeftButton, 40, 0);
    EXPECT_EQ(d.SecondPoint, (PixelPoint{199, 199}));
    prompter_.Clear();
    d.cxButton1Click();
    EXPECT_EQ(prompter_.Texts(), QStringList{QStringLiteral("Please define all values")});
    EXPECT_EQ(w->CatheterCentre, (PixelPoint{0, 0}));

    // A real mouse press on the image view does the same.
    QTest::mouseClick(d.ImgCanvas, Qt::LeftButton, {}, QPoint(90, 95));
    QTest::mouseClick(d.ImgCanvas, Qt::LeftButton, {}, QPoint(97, 95));
    EXPECT_EQ(d.FirstPoint, (PixelPoint{90, 95}));
    EXPECT_EQ(d.SecondPoint, (PixelPoint{97, 95}));
    d.cxButton1Click();
    EXPECT_EQ(w->CatheterCentre, (PixelPoint{90, 95}));
    EXPECT_EQ(w->CatheterEdge, (PixelPoint{97, 95}));
}

TEST_F(Calibration, TheDistanceStepStartsFromTheCardAndHasNoCancel)
{
    TIVUSForm* w = OpenUncalibratedCard();
    ASSERT_NE(w, nullptr);
    MainForm->CalibrationPointA = {10, 20};
    MainForm->CalibrationPointB = {30, 40};
    MainForm->CalibrationDistance = 2.5;
    TCalibrationForm d(w, true);
    EXPECT_EQ(d.cxLabel4->text(), QStringLiteral("STEP 2/2 : Distance Calibration"));
    EXPECT_EQ(d.cxLabel5->text(), QStringLiteral("Point A (X,Y)"));
    EXPECT_EQ(d.cxButton1->text(), QStringLiteral("OK (2/2)"));
    EXPECT_TRUE(d.cxButton2->isHidden());
    EXPECT_FALSE(d.cxSpinEdit1->isHidden());
    EXPECT_EQ(d.cxTextEdit1->text(), QStringLiteral("10,20"));
    EXPECT_EQ(d.cxTextEdit2->text(), QStringLiteral("30,40"));
    EXPECT_DOUBLE_EQ(d.cxSpinEdit1->value(), 2.5);

    // Coinciding points have no distance: refused, nothing changes.
    d.ImgViewMouseDown(Qt::LeftButton, 30, 40);
    EXPECT_EQ(d.FirstPoint, d.SecondPoint);
    d.cxButton1Click();
    EXPECT_EQ(prompter_.Texts(), QStringList{QStringLiteral("Points A and B must be different")});
    EXPECT_EQ(MainForm->CalibrationPointA, (PixelPoint{10, 20}));
    d.cxSpinEdit1->setValue(0.0);
    d.ImgViewMouseDown(Qt::LeftButton, 60, 70);
    prompter_.Clear();
    d.cxButton1Click();
    EXPECT_EQ(prompter_.Texts(), QStringList{QStringLiteral("Please define all values")});

    // Escape and the space bar close without changes.
    d.show();
    QTest::keyClick(&d, Qt::Key_Space);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(MainForm->CalibrationDistance, 2.5);
}

TEST_F(Calibration, TheButtonStoresTheCalibrationAndTheSpacingInThePatientRow)
{
    TIVUSForm* w = OpenUncalibratedCard();
    ASSERT_NE(w, nullptr);
    DialogScript script;
    script.steps.push_back([](TCalibrationForm& d) {
        d.ImgViewMouseDown(Qt::LeftButton, 100, 100);
        d.ImgViewMouseDown(Qt::LeftButton, 109, 100);
        d.cxButton1Click();
    });
    script.steps.push_back([](TCalibrationForm& d) {
        d.ImgViewMouseDown(Qt::LeftButton, 100, 50);
        d.ImgViewMouseDown(Qt::LeftButton, 100, 150);
        d.cxSpinEdit1->setValue(5.0);
        d.cxButton1Click();
    });
    w->dxBarLargeButton9Click();
    EXPECT_EQ(script.dialogsSeen, 2);
    EXPECT_TRUE(CalibrationForm.isNull());
    EXPECT_EQ(w->CatheterCentre, (PixelPoint{100, 100}));
    EXPECT_EQ(w->CatheterEdge, (PixelPoint{109, 100}));
    EXPECT_EQ(MainForm->CalibrationPointA, (PixelPoint{100, 50}));
    EXPECT_EQ(MainForm->CalibrationPointB, (PixelPoint{100, 150}));
    EXPECT_DOUBLE_EQ(PixelSpacing, 0.05);
    EXPECT_EQ(PatientRow(), QStringLiteral("100,50,100,150,5.0,0.05"));
    EXPECT_TRUE(prompter_.messages.empty()) << prompter_.Texts().join(QLatin1Char('\n')).toStdString();
}

TEST_F(Calibration, CancellingKeepsTheStoredSpacing)
{
    TIVUSForm* w = OpenUncalibratedCard();
    ASSERT_NE(w, nullptr);
    const QString before = PatientRow();
    {
        // Cancel both steps: the second step opens all the same.
        DialogScript script;
        w->dxBarLargeButton9Click();
        EXPECT_EQ(script.dialogsSeen, 2);
    }
    EXPECT_EQ(PatientRow(), before);
    EXPECT_DOUBLE_EQ(PixelSpacing, 0.125);
    {
        // The catheter step confirmed, the distance step closed: only the window changes.
        DialogScript script;
        script.steps.push_back([](TCalibrationForm& d) {
            d.ImgViewMouseDown(Qt::LeftButton, 100, 100);
            d.ImgViewMouseDown(Qt::LeftButton, 108, 100);
            d.cxButton1Click();
        });
        script.steps.push_back([](TCalibrationForm& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        w->dxBarLargeButton9Click();
        EXPECT_EQ(script.dialogsSeen, 2);
    }
    EXPECT_EQ(w->CatheterCentre, (PixelPoint{100, 100}));
    EXPECT_EQ(PatientRow(), before);
    EXPECT_DOUBLE_EQ(PixelSpacing, 0.125);
}

TEST_F(Calibration, AStepThatCannotOpenIsReportedAndTheNextStillOpens)
{
    TIVUSForm* w = OpenUncalibratedCard();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QFile::remove(w->FramePath(0)));
    DialogScript script;
    w->dxBarLargeButton9Click();
    EXPECT_EQ(script.dialogsSeen, 0);
    ASSERT_EQ(prompter_.messages.size(), 2u);
    for (const auto& m : prompter_.messages) {
        EXPECT_EQ(m.kind, Prompter::Kind::ErrorDialog);
        EXPECT_TRUE(m.text.startsWith(QStringLiteral("A problem occured while opening window!")));
    }
}
