// The IVUS window over a card in a temporary program folder: opening, the strip,
// selection, brightness/contrast/gamma, detection, propagation, deletion, parameters,
// and the round trip of the contours through the card save.
#include "ivus_fixture.h"

#include "analysis/core/luminosity.h"
#include "analysis/core/polar_smoothing.h"
#include "analysis/ui/frame_image.h"
#include "analysis/ui/ivus_form.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/progress.h"

#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
using Contour = WallContour;

namespace {

Contour Circle(PixelPoint c, int r, int n)
{
    Contour out;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * 3.14159265358979 * i / n;
        out.push_back({c.x + static_cast<int>(std::lround(r * std::cos(a))),
                       c.y + static_cast<int>(std::lround(r * std::sin(a)))});
    }
    out.push_back(out.front());
    return out;
}

// Records the progress window while a long operation runs (timers fire between its steps).
struct ProgressWatch {
    QTimer timer;
    QString text;
    int maximum = -1;
    int largest = -1;
    ProgressWatch()
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (ProgressForm) {
                text = ProgressForm->cxLabel1->text();
                maximum = ProgressForm->cxProgressBar1->maximum();
                largest = std::max(largest, ProgressForm->cxProgressBar1->value());
            }
        });
        timer.start();
    }
};

} // namespace

class IvusWindow : public IvusWindowTest {};

TEST_F(IvusWindow, OpensOverTheCardWithTheStoredContoursAndSpacing)
{
    AddPatient(7, 0.025);
    WriteFrames(7, {0, 3, 9, 12});
    AddIvusRow(7, QStringLiteral("3 9 12 -1"), 100, 100, 110, 100);
    AddWallRow("outerWall", 7, 1, QStringLiteral("10 20 30 10 -1"), QStringLiteral("40 50 60 40 -1"));
    AddWallRow("innerWall", 7, 2, QStringLiteral("11 12 -1"), QStringLiteral("13 14 -1"));
    MainForm->OpenPatientCard(7, QStringLiteral("Ann Roe"));
    MainForm->IVUSFrameCount = 10;  // more than the list names: frame k must stay entry k
    TIVUSForm* w = OpenIvusWindow();
    ASSERT_NE(w, nullptr) << prompter_.Texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w->FrameCount, 3);
    EXPECT_EQ(w->FrameWidth, 200);
    EXPECT_EQ(w->CellWidth, 224);
    EXPECT_EQ(w->CatheterCentre, (PixelPoint{100, 100}));
    EXPECT_EQ(w->CatheterEdge, (PixelPoint{110, 100}));
    EXPECT_EQ(w->OuterWalls[1], (Contour{{10, 40}, {20, 50}, {30, 60}, {10, 40}}));
    EXPECT_EQ(w->UserOuterWalls[1], w->OuterWalls[1]);
    EXPECT_EQ(w->InnerWalls[2], (Contour{{11, 13}, {12, 14}}));
    EXPECT_TRUE(w->OuterWalls[0].empty());
    EXPECT_DOUBLE_EQ(PixelSpacing, 0.025);
    EXPECT_EQ(w->SelectedFrame, -1);
    EXPECT_EQ(w->cxMemo1->toPlainText(), QStringLiteral("------------ MEASUREMENTS -----------"));
    EXPECT_TRUE(MainForm->ButtonEnabled(TMainForm::Button::Save));
    EXPECT_TRUE(w->dxBarLargeButton3->isEnabled());
    EXPECT_TRUE(w->dxBarLargeButton4->isEnabled());
    // The strip shows the three analysed frames, numbered from 1, frame files 3, 9, 12.
    EXPECT_EQ(w->VisibleCells, 3);
    EXPECT_EQ(w->FramePath(2), AppPaths::RecordingDir(7, QStringLiteral("IVUS")) + QStringLiteral("IVUS.12.jpg"));

    // Closing without the angiography window switches "Save" off.
    w->close();
    QApplication::processEvents();
    EXPECT_TRUE(IVUSForm.isNull());
    EXPECT_FALSE(MainForm->ButtonEnabled(TMainForm::Button::Save));
}

TEST_F(IvusWindow, AStoredRowOfAFrameBeyondTheCardIsSkippedWithAWarning)
{
    AddPatient(8);
    WriteFrames(8, {0, 1});
    AddIvusRow(8, QStringLiteral("0 1 -1"));
    AddWallRow("outerWall", 8, 0, QStringLiteral("1 2 3 4 5 -1"), QStringLiteral("1 2 3 4 5 -1"));
    AddWallRow("outerWall", 8, 5, QStringLiteral("1 2 -1"), QStringLiteral("1 2 -1"));
    AddWallRow("innerWall", 8, -1, QStringLiteral("1 2 -1"), QStringLiteral("1 2 -1"));
    prompter_.Clear();
    TIVUSForm* w = OpenCard(8);
    ASSERT_NE(w, nullptr) << prompter_.Texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w->OuterWalls[0].size(), 5u);
    bool warned = false;
    for (const auto& m : prompter_.messages)
        warned |= m.kind == Prompter::Kind::Warning && m.text.contains(QStringLiteral("frame(s) 6, 0"));
    EXPECT_TRUE(warned) << prompter_.Texts().join(QLatin1Char('\n')).toStdString();
}

TEST_F(IvusWindow, AMissingFirstFrameFileRefusesTheWindowWithItsName)
{
    AddPatient(9);
    WriteFrames(9, {4, 5});
    AddIvusRow(9, QStringLiteral("4 5 -1"));
    prompter_.Clear();
    EXPECT_EQ(OpenCard(9), nullptr);
    bool reported = false;
    for (const auto& m : prompter_.messages)
        reported |= m.kind == Prompter::Kind::ErrorDialog &&
                    m.text.startsWith(QStringLiteral("A problem occured while opening window!")) &&
                    m.text.contains(QStringLiteral("IVUS.0.jpg"));
    EXPECT_TRUE(reported) << prompter_.Texts().join(QLatin1Char('\n')).toStdString();
}

TEST_F(IvusWindow, SelectionScrollingAndTheStatusBar)
{
    AddPatient(10);
    std::vector<int> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(i);
    WriteFrames(10, files, {64, 64});
    AddIvusRow(10, QString());  // no list: every frame file is analysed
    TIVUSForm* w = OpenCard(10);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->FrameCount, 40);
    EXPECT_EQ(w->CellCount, 30);
    ASSERT_GT(w->VisibleCells, 1);

    PressCell(w, 1);
    EXPECT_EQ(w->SelectedCell, 1);
    EXPECT_EQ(w->SelectedFrame, 1);
    EXPECT_EQ(w->MarkedCell(), 1);
    EXPECT_EQ(MainForm->StatusPanel(1)->text(), AppPaths::RecordingDir(10, QStringLiteral("IVUS")) + "IVUS.1.jpg");
    ASSERT_FALSE(w->RefineImage.empty());

    // Scrolling carries the highlight with the frame.
    w->dxBarLargeButton2Click();
    EXPECT_EQ(w->FirstVisible, 1);
    EXPECT_EQ(w->MarkedCell(), 0);
    w->FormMouseWheel(120);
    EXPECT_EQ(w->FirstVisible, 0);
    w->dxBarLargeButton1Click();
    EXPECT_EQ(w->FirstVisible, 0);
    for (int i = 0; i < 60; ++i)
        w->FormMouseWheel(-120);
    EXPECT_EQ(w->FirstVisible, 40 - w->VisibleCells);
    EXPECT_EQ(w->FirstVisible + w->VisibleCells - 1, 39);  // the last frame in the last cell

    // The keyboard: F1 and F2 scroll while the strip has the focus.
    const int first = w->FirstVisible;
    w->ImgView->setFocus();
    QApplication::setActiveWindow(MainForm);
    QTest::keyClick(w->ImgView, Qt::Key_F1);
    EXPECT_EQ(w->FirstVisible, first - 1);
    QTest::keyClick(w->ImgView, Qt::Key_F2);
    EXPECT_EQ(w->FirstVisible, first);

    // A press beside every cell clears the selection and the highlight.
    w->ImgViewMouseDown(Qt::LeftButton, 2, 2);
    EXPECT_EQ(w->SelectedFrame, -1);
    EXPECT_EQ(w->SelectedCell, -1);
    EXPECT_EQ(w->MarkedCell(), -1);
    // Other buttons select nothing.
    w->ImgViewMouseDown(Qt::RightButton, w->ImageRect(0).center().x(), w->ImageRect(0).center().y());
    EXPECT_EQ(w->SelectedFrame, -1);
}

TEST_F(IvusWindow, BrightnessContrastAndGammaChangeOnlyTheSelectedCell)
{
    AddPatient(11);
    WriteFrames(11, {0, 1, 2});
    AddIvusRow(11, QStringLiteral("0 1 2 -1"));
    TIVUSForm* w = OpenCard(11);
    ASSERT_NE(w, nullptr);
    PressCell(w, 1);
    const QImage before0 = w->ShownFrame(0);
    w->cxBarEditItem1->setValue(50);
    w->cxBarEditItem2->setValue(-30);
    w->cxBarEditItem3->setValue(20);
    const auto table = kestrova::analysis::BuildLuminosityTable(50, -30, 20);
    const cv::Mat stored = kestrova::analysis::DecodeJpegFile(w->FramePath(1));
    ASSERT_FALSE(stored.empty());
    const QImage shown = w->ShownFrame(1);
    ASSERT_EQ(shown.size(), QSize(stored.cols, stored.rows));
    for (const QPoint p : {QPoint(0, 0), QPoint(100, 100), QPoint(60, 100), QPoint(150, 20)}) {
        const int level = stored.at<std::uint8_t>(p.y(), p.x());
        EXPECT_EQ(qGray(shown.pixel(p)), table[level]) << p.x() << "," << p.y();
    }
    EXPECT_EQ(w->ShownFrame(0), before0);
    // Reset puts the frame back as stored.
    w->dxBarButton1Click();
    EXPECT_EQ(w->cxBarEditItem1->value(), 0);
    EXPECT_EQ(w->ShownFrame(1), kestrova::analysis::MatToImage(stored));
}

TEST_F(IvusWindow, AutomaticDetectionWritesClosedContoursToBothListsUnderTheProgressWindow)
{
    AddPatient(12);
    WriteFrames(12, {0, 1, 2, 3});
    AddIvusRow(12, QStringLiteral("0 1 2 3 -1"));
    TIVUSForm* w = OpenCard(12);
    ASSERT_NE(w, nullptr);

    // Refusals: nothing selected, then an uncalibrated catheter.
    prompter_.Clear();
    w->dxBarLargeButton5Click();
    PressCell(w, 1);
    w->dxBarLargeButton5Click();
    ASSERT_EQ(prompter_.messages.size(), 2u);
    EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("You have to select an initial frame"));
    EXPECT_EQ(prompter_.messages[0].icon, Prompter::Icon::Error);
    EXPECT_EQ(prompter_.messages[1].text, QStringLiteral("Calibration is not defined"));

    w->CatheterCentre = {100, 100};
    w->CatheterEdge = {111, 100};
    w->dxBarSpinEdit12->setValue(5);  // more than the frames left: frames 1 .. 3
    prompter_.Clear();
    ProgressWatch watch;
    w->dxBarLargeButton5Click();
    EXPECT_EQ(watch.text, QStringLiteral("Automatic detection progress"));
    EXPECT_EQ(watch.maximum, 3);
    EXPECT_TRUE(ProgressForm.isNull());
    EXPECT_TRUE(w->OuterWalls[0].empty());
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        ASSERT_EQ(w->InnerWalls[k].size(), 400u);
        ASSERT_EQ(w->OuterWalls[k].size(), 400u);
        EXPECT_EQ(w->InnerWalls[k].front(), w->InnerWalls[k].back());
        EXPECT_EQ(w->OuterWalls[k].front(), w->OuterWalls[k].back());
        EXPECT_EQ(w->UserInnerWalls[k], w->InnerWalls[k]);
        EXPECT_EQ(w->UserOuterWalls[k], w->OuterWalls[k]);
        // The borders lie between the catheter and the bright ring (60 + k), the vessel
        // outside the lumen (the accuracy itself is the detection's own concern).
        auto mean = [](const Contour& c) {
            double sum = 0;
            for (const PixelPoint& p : c)
                sum += std::hypot(p.x - 100, p.y - 100);
            return sum / c.size();
        };
        EXPECT_GT(mean(w->InnerWalls[k]), 11.0);
        EXPECT_LT(mean(w->InnerWalls[k]), mean(w->OuterWalls[k]));
        EXPECT_LT(mean(w->OuterWalls[k]), 70.0 + k);
    }
    EXPECT_TRUE(prompter_.messages.empty()) << prompter_.Texts().join(QLatin1Char('\n')).toStdString();
}

TEST_F(IvusWindow, PropagationCarriesTheSelectedContoursForward)
{
    AddPatient(13);
    WriteFrames(13, {0, 1, 2, 3});
    AddIvusRow(13, QStringLiteral("0 1 2 3 -1"), 100, 100, 109, 100);
    TIVUSForm* w = OpenCard(13);
    ASSERT_NE(w, nullptr);

    prompter_.Clear();
    w->dxBarLargeButton7Click();
    PressCell(w, 3);
    w->dxBarLargeButton7Click();
    PressCell(w, 2);
    w->OuterWalls[2] = Contour{{1, 1}, {2, 2}, {3, 3}, {1, 1}};
    w->InnerWalls[2] = Contour{{1, 1}, {2, 2}, {3, 3}, {1, 1}};
    w->dxBarLargeButton7Click();
    ASSERT_EQ(prompter_.messages.size(), 3u);
    EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("You have to select an initial frame"));
    EXPECT_EQ(prompter_.messages[1].text, QStringLiteral("You cannot propagate the last frame"));
    EXPECT_EQ(prompter_.messages[2].text, QStringLiteral("The selected frame contains no contours"));
    for (const auto& m : prompter_.messages)
        EXPECT_EQ(m.icon, Prompter::Icon::Error);

    // From the second-to-last frame with "Affected frames" 3 exactly one frame is reached;
    // only the outer wall is carried.
    w->OuterWalls[2] = Circle({100, 100}, 62, 200);
    w->InnerWalls[2].clear();
    const Contour source = w->OuterWalls[2];
    prompter_.Clear();
    ProgressWatch watch;
    w->dxBarLargeButton7Click();
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_EQ(watch.maximum, 1);
    EXPECT_EQ(w->UserOuterWalls[3], source);
    ASSERT_EQ(w->OuterWalls[3].size(), source.size());
    EXPECT_EQ(w->OuterWalls[3].front(), w->OuterWalls[3].back());
    EXPECT_NE(w->OuterWalls[3], source);  // refined on frame 3 and smoothed
    EXPECT_TRUE(w->InnerWalls[3].empty());
    EXPECT_TRUE(w->OuterWalls[1].empty());

    // From frame 0 both walls go through frames 1 .. 3 (bar to 2 N).
    PressCell(w, 0);
    w->OuterWalls[0] = Circle({100, 100}, 62, 120);
    w->InnerWalls[0] = Circle({100, 100}, 32, 120);
    ProgressWatch both;
    w->dxBarLargeButton7Click();
    EXPECT_EQ(both.maximum, 6);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(w->UserOuterWalls[k], w->OuterWalls[k - 1]) << k;
        EXPECT_EQ(w->UserInnerWalls[k], w->InnerWalls[k - 1]) << k;
        EXPECT_EQ(w->InnerWalls[k].size(), 121u) << k;
    }
}

TEST_F(IvusWindow, DeleteContourEmptiesTheShownWallsOfTheSelectedFrame)
{
    AddPatient(14);
    WriteFrames(14, {0, 1});
    AddIvusRow(14, QStringLiteral("0 1 -1"));
    TIVUSForm* w = OpenCard(14);
    ASSERT_NE(w, nullptr);
    prompter_.Clear();
    w->dxBarLargeButton8Click();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("No frame is selected"));
    EXPECT_EQ(prompter_.messages[0].icon, Prompter::Icon::Warning);

    for (int k = 0; k < 2; ++k) {
        w->OuterWalls[k] = w->UserOuterWalls[k] = Circle({100, 100}, 60, 50);
        w->InnerWalls[k] = w->UserInnerWalls[k] = Circle({100, 100}, 30, 50);
    }
    PressCell(w, 1);
    w->dxBarLargeButton8Click();
    EXPECT_TRUE(w->OuterWalls[1].empty());
    EXPECT_TRUE(w->InnerWalls[1].empty());
    EXPECT_EQ(w->UserOuterWalls[1].size(), 51u);  // the initial contours stay
    EXPECT_EQ(w->OuterWalls[0].size(), 51u);
    // With a drawing mode only that wall goes.
    PressCell(w, 0);
    w->DrawMode = 2;
    w->ClearWall(w->DrawMode);
    EXPECT_TRUE(w->InnerWalls[0].empty());
    EXPECT_EQ(w->OuterWalls[0].size(), 51u);
}

TEST_F(IvusWindow, RefinementParametersChecksAndReset)
{
    AddPatient(15);
    WriteFrames(15, {0, 1});
    AddIvusRow(15, QStringLiteral("0 1 -1"), 100, 100, 109, 100);
    TIVUSForm* w = OpenCard(15);
    ASSERT_NE(w, nullptr);
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit1->value(), 14);
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit2->value(), 200);
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit3->value(), 30);
    EXPECT_EQ(w->dxBarSpinEdit4->value(), 3);
    EXPECT_EQ(w->dxBarSpinEdit8->value(), 5);
    EXPECT_EQ(w->dxBarSpinEdit10->value(), 1);
    // "Neighborhood (w)" stays odd; below its minimum it takes the minimum.
    w->dxBarSpinEdit4->setValue(4);
    EXPECT_EQ(w->dxBarSpinEdit4->value(), 5);
    w->dxBarSpinEdit4->setValue(0);
    EXPECT_EQ(w->dxBarSpinEdit4->value(), 1);
    w->dxBarSpinEdit10->setValue(3);
    EXPECT_EQ(w->PenWidth, 3);
    // An emptied text: the weights become 0, the neighbourhood 1.
    for (QAbstractSpinBox* spin : {static_cast<QAbstractSpinBox*>(w->dxBarSpinEdit2),
                                   static_cast<QAbstractSpinBox*>(w->dxBarSpinEdit4)}) {
        auto* edit = spin->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClick(spin, Qt::Key_Return);
    }
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit2->value(), 0.0);
    EXPECT_EQ(w->dxBarSpinEdit4->value(), 1);
    w->dxBarSpinEdit2->setValue(200);

    // A parameter change refines the selected frame again from its initial contour.
    PressCell(w, 1);
    w->UserOuterWalls[1] = Circle({100, 100}, 64, 100);
    w->OuterWalls[1] = w->UserOuterWalls[1];
    w->dxBarSpinEdit1->setValue(2);
    const Contour refined = w->OuterWalls[1];
    prompter_.Clear();
    EXPECT_NE(refined, w->UserOuterWalls[1]);
    EXPECT_EQ(refined.size(), 101u);
    EXPECT_EQ(refined.front(), refined.back());

    prompter_.answers = {false};
    w->dxBarButton2Click();
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit1->value(), 2);
    EXPECT_EQ(w->OuterWalls[1], refined);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Load default parameter values?"));
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::YesNo);
    prompter_.answers = {true};
    w->dxBarButton2Click();
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit1->value(), 0.002);
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit2->value(), 50);
    EXPECT_DOUBLE_EQ(w->dxBarSpinEdit3->value(), 35);
    EXPECT_EQ(w->dxBarSpinEdit4->value(), 9);
    EXPECT_EQ(w->dxBarSpinEdit8->value(), 5);
}

TEST_F(IvusWindow, ContoursReachTheCardSaveAndReadBackTheSame)
{
    AddPatient(16);
    WriteFrames(16, {0, 2, 5});
    AddIvusRow(16, QStringLiteral("0 2 5 -1"));
    TIVUSForm* w = OpenCard(16);
    ASSERT_NE(w, nullptr);
    w->CatheterCentre = {100, 100};
    w->CatheterEdge = {109, 100};
    PressCell(w, 0);
    w->dxBarSpinEdit12->setValue(3);
    w->dxBarLargeButton5Click();
    ASSERT_EQ(w->OuterWalls[2].size(), 400u);
    w->InnerWalls[1].clear();  // frame 2 (file 2) keeps only its outer wall
    const auto outer = w->OuterWalls;
    const auto inner = w->InnerWalls;
    MainForm->SavePatientCard();
    EXPECT_EQ(Query(QStringLiteral("SELECT catheterCenterX || ',' || catheterEdgeX FROM ivus WHERE patientID = 16")),
              QStringLiteral("100,109"));
    EXPECT_EQ(Query(QStringLiteral("SELECT frame || ':' || telodiastolicFrame FROM outerWall WHERE patientID = 16 ORDER BY frame")),
              QStringLiteral("0:0|1:2|2:5"));
    EXPECT_EQ(Query(QStringLiteral("SELECT frame FROM innerWall WHERE patientID = 16 ORDER BY frame")),
              QStringLiteral("0|2"));

    w->close();
    QApplication::processEvents();
    TIVUSForm* again = OpenIvusWindow();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->CatheterCentre, (PixelPoint{100, 100}));
    EXPECT_EQ(again->OuterWalls, outer);
    EXPECT_EQ(again->InnerWalls, inner);
    EXPECT_EQ(again->UserOuterWalls, outer);
}

TEST_F(IvusWindow, AMissingListedFrameIsAnEmptyCellAndDetectionOnItChangesNothing)
{
    AddPatient(17);
    WriteFrames(17, {0, 1});
    AddIvusRow(17, QStringLiteral("0 1 5 -1"), 100, 100, 111, 100);
    TIVUSForm* w = OpenCard(17);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->FrameCount, 3);
    EXPECT_TRUE(w->ShownFrame(2).isNull());
    EXPECT_FALSE(w->ShownFrame(1).isNull());
    w->OuterWalls[1] = w->UserOuterWalls[1] = Circle({100, 100}, 60, 40);
    PressCell(w, 1);
    w->dxBarSpinEdit12->setValue(2);
    prompter_.Clear();
    w->dxBarLargeButton5Click();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].icon, Prompter::Icon::Warning);
    EXPECT_TRUE(prompter_.messages[0].text.startsWith(QStringLiteral("The automatic detection stopped")));
    EXPECT_EQ(w->OuterWalls[1].size(), 41u);
    EXPECT_TRUE(w->InnerWalls[1].empty());
    // Selecting the empty cell works; a parameter change then has no image to refine on,
    // and the shown contour is only smoothed again.
    PressCell(w, 2);
    EXPECT_EQ(w->SelectedFrame, 2);
    EXPECT_TRUE(w->RefineImage.empty());
    w->OuterWalls[2] = w->UserOuterWalls[2] = Circle({100, 100}, 60, 40);
    Contour expected = w->OuterWalls[2];
    kestrova::analysis::SmoothContourPolar(expected, expected, {100, 100}, 6);
    w->dxBarSpinEdit8->setValue(6);
    EXPECT_EQ(w->OuterWalls[2], expected);
}

TEST_F(IvusWindow, SelectingAnotherFrameSwitchesTheDrawingModeOff)
{
    AddPatient(18);
    WriteFrames(18, {0, 1});
    AddIvusRow(18, QStringLiteral("0 1 -1"));
    TIVUSForm* w = OpenCard(18);
    ASSERT_NE(w, nullptr);
    PressCell(w, 0);
    w->DrawMode = 1;
    w->dxBarLargeButton3->setChecked(true);
    PressCell(w, 0);  // the same cell again: the mode stays
    EXPECT_EQ(w->DrawMode, 1);
    EXPECT_TRUE(w->dxBarLargeButton3->isChecked());
    PressCell(w, 1);
    EXPECT_EQ(w->DrawMode, 0);
    EXPECT_FALSE(w->dxBarLargeButton3->isChecked());
    EXPECT_FALSE(w->dxBarLargeButton4->isChecked());
}
