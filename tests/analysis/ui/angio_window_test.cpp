// The angiography window inside the shell: opened from the main window's "ANGIO" button
// over a card in a temporary program folder, with frame files written here, the stored
// tracing inserted and read back with the sqlite3 tool, and the messages answered by the
// scripted prompter.
#include "analysis/ui/angio.h"

#include "analysis/core/luminosity.h"
#include "app/card_sources.h"
#include "app/child_form.h"
#include "app/child_registry.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/prompter.h"
#include "support/test_workstation.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGroupBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

#include <cstdlib>

namespace an = kestrova::analysis;
using an::TraceList;
using an::ToolMode;

namespace {

constexpr int kCode = 7;
constexpr int kFrameWidth = 64;
constexpr int kFrameHeight = 48;

// Frame file k of the fixture recordings is uniform grey at this level (JPEG keeps a
// uniform image exactly, to within a level).
int FrameLevel(int k) { return 20 + 7 * k; }

QString RunSqlite(const QString& db, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), db, sql});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << "sqlite3 failed on " << sql.toStdString() << ": " << p.readAllStandardError().toStdString();
        return {};
    }
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

class EmptyIvusForm : public TChildForm {
public:
    EmptyIvusForm() : TChildForm(QStringLiteral("IVUSForm"), QStringLiteral("IVUS"), QSize(300, 200)) {}
};

class AngioWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid() && runtime.isValid());
        BeginTestWorkstation(root.path(), runtime.path(), &prompter);
        ConnectTestDatabase();
        Sql(QStringLiteral("INSERT INTO patient(code, surname, name) VALUES (%1, 'Doe', 'John');").arg(kCode));

        ChildWindowRegistry registry;
        registry.Register(ChildWindow::ANGIO, CreateAngioForm);
        registry.Register(ChildWindow::IVUS, [](const WindowContext&) { return new EmptyIvusForm; });
        MainForm = new TMainForm(registry);
        MainForm->resize(1500, 950);
        MainForm->show();
        MainForm->PatientCode = kCode;
    }

    void TearDown() override
    {
        EndTestWorkstation();
    }

    QString Sql(const QString& sql) { return RunSqlite(AppPaths::DatabaseFile(), sql); }

    void WriteFrames(const QString& recording, int count, int width = kFrameWidth, int height = kFrameHeight)
    {
        const QString folder = AppPaths::RecordingDir(kCode, recording);
        QDir().mkpath(folder);
        for (int k = 0; k < count; ++k) {
            const cv::Mat frame(height, width, CV_8UC1, cv::Scalar(FrameLevel(k)));
            const QString file = AppPaths::FrameFile(kCode, recording, k);
            ASSERT_TRUE(cv::imwrite(QFile::encodeName(file).toStdString(), frame));
        }
        if (recording == QLatin1String("LAO"))
            MainForm->LAOFrameCount = count;
        else
            MainForm->RAOFrameCount = count;
    }

    TANGIOForm* Open()
    {
        MainForm->dxBarLargeButton4Click();
        auto* window = qobject_cast<TANGIOForm*>(ANGIOForm.data());
        EXPECT_NE(window, nullptr) << prompter.Texts().join(QLatin1Char('|')).toStdString();
        if (window)
            QCoreApplication::processEvents();
        return window;
    }

    static void Mouse(TAngioFrame* view, QEvent::Type type, Qt::MouseButton button, QPoint pos)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QWidget* vp = view->ImgView->viewport();
        QMouseEvent e(type, pos, vp->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    }
    static void Click(TAngioFrame* view, PixelPoint p, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPoint pos = view->ViewPosOf(p);
        Mouse(view, QEvent::MouseButtonPress, button, pos);
        Mouse(view, QEvent::MouseButtonRelease, button, pos);
    }
    static void Drag(TAngioFrame* view, PixelPoint from, PixelPoint to, Qt::MouseButton button = Qt::LeftButton)
    {
        Mouse(view, QEvent::MouseButtonPress, button, view->ViewPosOf(from));
        Mouse(view, QEvent::MouseMove, button, view->ViewPosOf(to));
        Mouse(view, QEvent::MouseButtonRelease, button, view->ViewPosOf(to));
    }
    static void Wheel(TAngioFrame* view, int delta)
    {
        QWidget* vp = view->ImgView->viewport();
        const QPointF pos(10, 10);
        QWheelEvent e(pos, vp->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &e);
    }
    static int ShownLevel(const TAngioFrame* view, int x = 5, int y = 5)
    {
        return qRed(view->ShownImage().pixel(x, y));
    }

    QTemporaryDir root;
    QTemporaryDir runtime;
    ScriptedPrompter prompter;
};

const char* kStoredTracing = R"(
INSERT INTO angio(patientID, LcatheterX, LcatheterY, LlumenAX, LlumenAY, LlumenBX, LlumenBY, LwidthX, LwidthY,
                  RcatheterX, RcatheterY, RlumenAX, RlumenAY, RlumenBX, RlumenBY, RwidthX, RwidthY, LAOframe, RAOframe)
  VALUES (7, '10 12 20 -1', '10 11 10 -1', '5 -1', '30 -1', '40 42 -1', '7 9 -1', '3 30 -1', '40 40 -1',
          '100 150 -1', '200 210 -1', '', '', '', '', '1 2 3 -1', '1 2 3 -1', 9, 4);
)";

bool AnyPixelOf(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                return true;
    return false;
}

std::vector<PixelPoint> Pts(std::initializer_list<PixelPoint> p) { return p; }

} // namespace

// A card with 30 LAO and no RAO frame files and a stored tracing: the LAO view shows the
// stored frame, the RAO view keeps its placeholder and layout range but shows its stored
// tracing; everything loaded can be undone, the last lumen B point first.
TEST_F(AngioWindowTest, OpensOverACardWithStoredTracing)
{
    WriteFrames(QStringLiteral("LAO"), 30);
    Sql(QString::fromLatin1(kStoredTracing));
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ANGIO"));
    EXPECT_EQ(w->Panel1->title(), QStringLiteral("Left anterior oblique"));
    EXPECT_EQ(w->Panel2->title(), QStringLiteral("Right anterior oblique"));
    EXPECT_TRUE(MainForm->ButtonEnabled(TMainForm::Button::Save));

    TAngioFrame* lao = w->AngioFrame1;
    TAngioFrame* rao = w->AngioFrame2;
    EXPECT_EQ(lao->GetFrameNumber(), 9);
    EXPECT_EQ(lao->dxBarSpinEdit1->value(), 9);
    EXPECT_EQ(lao->dxBarSpinEdit1->maximum(), 30);
    EXPECT_EQ(lao->TrackFrameBar->maximum(), 30);
    EXPECT_NEAR(ShownLevel(lao), FrameLevel(8), 1);  // frame 9 is file 8
    EXPECT_EQ(lao->ShownImage().size(), QSize(kFrameWidth, kFrameHeight));

    EXPECT_EQ(rao->GetFrameNumber(), 4);
    EXPECT_EQ(rao->dxBarSpinEdit1->maximum(), 80);
    EXPECT_EQ(rao->TrackFrameBar->minimum(), 0);
    EXPECT_EQ(rao->TrackFrameBar->maximum(), 10);
    EXPECT_EQ(rao->ShownImage().size(), QSize(TAngioFrame::kPlaceholderWidth, TAngioFrame::kPlaceholderHeight));

    EXPECT_EQ(lao->CatheterPoints(), Pts({{10, 10}, {12, 11}, {20, 10}}));
    EXPECT_EQ(lao->LumenAPoints(), Pts({{5, 30}}));
    EXPECT_EQ(lao->LumenBPoints(), Pts({{40, 7}, {42, 9}}));
    EXPECT_EQ(lao->WidthPoints(), Pts({{3, 40}, {30, 40}}));
    EXPECT_EQ(rao->CatheterPoints(), Pts({{100, 200}, {150, 210}}));
    EXPECT_TRUE(rao->WidthPoints().empty()) << "three stored width points load no width";
    // Drawn on their layers: catheter green, width line white.
    EXPECT_EQ(lao->LayerImage(1).pixel(12, 11), 0xFF00FF00u);
    EXPECT_EQ(lao->LayerImage(3).pixel(42, 9), 0xFFFF00FFu);
    EXPECT_EQ(lao->LayerImage(4).pixel(15, 40), 0xFFFFFFFFu);
    EXPECT_EQ(rao->LayerImage(1).pixel(150, 210), 0xFF00FF00u);

    ASSERT_TRUE(lao->UndoButton->isEnabled());
    EXPECT_FALSE(lao->RedoButton->isEnabled());
    lao->UndoButton->trigger();
    EXPECT_EQ(lao->LumenBPoints(), Pts({{40, 7}}));
    EXPECT_EQ(lao->LayerImage(3).pixel(42, 9), 0u);
    EXPECT_TRUE(lao->RedoButton->isEnabled());
    lao->RedoButton->trigger();
    EXPECT_EQ(lao->LumenBPoints(), Pts({{40, 7}, {42, 9}}));
}

// Without a stored tracing both views report frame 0 until a frame is chosen, the editor
// shows 1 and the view frame file 0; frame 7 is file 6.
TEST_F(AngioWindowTest, FrameChoiceWithoutStoredTracing)
{
    WriteFrames(QStringLiteral("LAO"), 30);
    WriteFrames(QStringLiteral("RAO"), 12);
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    for (TAngioFrame* v : {w->AngioFrame1, w->AngioFrame2}) {
        EXPECT_EQ(v->GetFrameNumber(), 0);
        EXPECT_EQ(v->dxBarSpinEdit1->value(), 1);
        EXPECT_NEAR(ShownLevel(v), FrameLevel(0), 1);
        EXPECT_FALSE(v->UndoButton->isEnabled());
    }
    EXPECT_EQ(w->AngioFrame2->TrackFrameBar->minimum(), 1);
    EXPECT_EQ(w->AngioFrame2->TrackFrameBar->maximum(), 12);
    TAngioFrame* lao = w->AngioFrame1;
    lao->dxBarSpinEdit1->setValue(7);
    EXPECT_EQ(lao->GetFrameNumber(), 7);
    EXPECT_EQ(lao->TrackFrameBar->value(), 7);
    EXPECT_NEAR(ShownLevel(lao), FrameLevel(6), 1);
    lao->TrackFrameBar->setValue(12);
    EXPECT_EQ(lao->GetFrameNumber(), 12);
    EXPECT_EQ(lao->dxBarSpinEdit1->value(), 12);
    EXPECT_NEAR(ShownLevel(lao), FrameLevel(11), 1);
    EXPECT_TRUE(prompter.messages.empty());
}

// Playing runs the timer; each tick shows the next frame and wraps after the last.
// Brightness, contrast and gamma stay as set when the frame changes.
TEST_F(AngioWindowTest, PlayingWrapsAndKeepsTheLuminosity)
{
    WriteFrames(QStringLiteral("LAO"), 20);
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;
    lao->PlayButton->click();
    EXPECT_TRUE(lao->Timer1->isActive());
    EXPECT_EQ(lao->Timer1->interval(), 60);
    lao->PlayButton->click();
    EXPECT_FALSE(lao->Timer1->isActive());

    lao->SetFrameNumber(19);
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        lao->Timer1Timer();
        shown.push_back(lao->GetFrameNumber());
    }
    EXPECT_EQ(shown, (std::vector<int>{20, 1, 2, 3}));

    lao->BrightnessBar->setValue(30);
    lao->ContrastBar->setValue(-20);
    lao->GammaBar->setValue(40);
    const an::LuminosityTable table = an::BuildLuminosityTable(30, -20, 40);
    const int loaded = lao->LoadedImage.at<cv::Vec3b>(5, 5)[2];
    EXPECT_NEAR(loaded, FrameLevel(2), 1);
    EXPECT_EQ(ShownLevel(lao), table[loaded]);
    EXPECT_NE(ShownLevel(lao), loaded);
    lao->Timer1Timer();  // frame 4 (file 3)
    const int next = lao->LoadedImage.at<cv::Vec3b>(5, 5)[2];
    EXPECT_NEAR(next, FrameLevel(3), 1);
    EXPECT_EQ(ShownLevel(lao), table[next]);
    EXPECT_EQ(lao->BrightnessBar->value(), 30);

    lao->ResetLuminosityButton->click();
    EXPECT_EQ(lao->GammaBar->value(), 0);
    EXPECT_EQ(ShownLevel(lao), next);
}

// A frame file that is missing when the frame changes is reported once; the view keeps
// its picture and playing stops.
TEST_F(AngioWindowTest, AMissingFrameFileIsReportedOnceAndStopsPlaying)
{
    WriteFrames(QStringLiteral("LAO"), 5);
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;
    QFile::remove(AppPaths::FrameFile(kCode, QStringLiteral("LAO"), 3));
    lao->SetFrameNumber(3);
    lao->PlayButton->click();
    lao->Timer1Timer();  // frame 4: file 3 is gone
    EXPECT_FALSE(lao->Timer1->isActive());
    EXPECT_FALSE(lao->PlayButton->isChecked());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("LAO.3.jpg")));
    EXPECT_NEAR(ShownLevel(lao), FrameLevel(2), 1);
    lao->Timer1Timer();  // frame 5 loads again
    EXPECT_NEAR(ShownLevel(lao), FrameLevel(4), 1);
}

// Zoom 50..600 % by the track bar; the wheel zooms only the view the mouse last entered,
// in steps of 5.
TEST_F(AngioWindowTest, ZoomAndWheelRouting)
{
    WriteFrames(QStringLiteral("LAO"), 3);
    WriteFrames(QStringLiteral("RAO"), 3);
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;
    TAngioFrame* rao = w->AngioFrame2;
    lao->cxTrackBar1->setValue(150);
    EXPECT_DOUBLE_EQ(lao->ViewScale(), 1.5);
    EXPECT_EQ(lao->cxTrackBar1->toolTip(), QStringLiteral("Zoom Factor: 150 %"));
    lao->cxTrackBar1->setValue(100);

    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(lao->ImgView->viewport(), &enter);
    QApplication::sendEvent(lao->ImgView->viewport(), &leave);
    QApplication::sendEvent(rao->ImgView->viewport(), &enter);
    Wheel(rao, 120);
    EXPECT_EQ(rao->cxTrackBar1->value(), 105);
    EXPECT_EQ(lao->cxTrackBar1->value(), 100);
    EXPECT_DOUBLE_EQ(rao->ViewScale(), 1.05);

    // A press in the LAO view makes it the target; the RAO flag is cleared by the wheel.
    Click(lao, {1, 1}, Qt::RightButton);
    Wheel(rao, -120);
    EXPECT_EQ(lao->cxTrackBar1->value(), 95);
    EXPECT_EQ(rao->cxTrackBar1->value(), 105);
    EXPECT_FALSE(rao->WheelTarget());

    for (int i = 0; i < 200; ++i)
        w->FormMouseWheel(120);
    EXPECT_EQ(lao->cxTrackBar1->value(), 600);
    EXPECT_DOUBLE_EQ(lao->ViewScale(), 6.0);
    for (int i = 0; i < 200; ++i)
        w->FormMouseWheel(-120);
    EXPECT_DOUBLE_EQ(lao->ViewScale(), 0.5);
}

// The splitter gives the RAO panel half the window less the splitter.
TEST_F(AngioWindowTest, ResizeGivesTheRaoPanelHalfTheWindow)
{
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    w->showNormal();
    w->resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->cxSplitter1->handleWidth(), 8);
    EXPECT_EQ(w->cxSplitter1->sizes().value(1), 492);
}

// Tracing through mouse events on the view: ordering by proximity, refusals with their
// messages, width drag, deletion and a move whose release lies outside the image.
TEST_F(AngioWindowTest, TracingWithTheMouse)
{
    WriteFrames(QStringLiteral("LAO"), 2);
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;
    lao->cxTrackBar1->setValue(300);  // clicks at 3x: every pixel is its own target

    lao->CatheterButton->trigger();
    EXPECT_EQ(lao->Tracing.Mode(), ToolMode::Catheter);
    EXPECT_TRUE(AnyPixelOf(lao->LayerImage(0), 0xFF00FF00u)) << "the mode text is written in green";
    Click(lao, {0, 10});
    Click(lao, {20, 10});
    Click(lao, {10, 10});
    EXPECT_EQ(lao->CatheterPoints(), Pts({{0, 10}, {10, 10}, {20, 10}}));
    EXPECT_EQ(lao->LayerImage(1).pixel(10, 10), 0xFF00FF00u);
    EXPECT_TRUE(lao->ShowAsLineItems[0]->isEnabled());
    EXPECT_TRUE(lao->MovePointButton->isEnabled());

    // Outside the image (y = 0 counts as outside): refused with the error icon.
    Click(lao, {5, 0});
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, QStringLiteral("Not allowed to draw outside image"));
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::Error);
    EXPECT_EQ(lao->CatheterPoints().size(), 3u);

    // A hidden lumen A layer cannot be drawn on.
    lao->VisibleLayerItems[1]->setChecked(false);
    lao->LumenAButton->trigger();
    Click(lao, {30, 30});
    EXPECT_EQ(prompter.messages.back().text, QStringLiteral("Cannot draw while in invisible mode"));
    EXPECT_TRUE(lao->LumenAPoints().empty());
    lao->VisibleLayerItems[1]->setChecked(true);
    Click(lao, {30, 30});
    EXPECT_EQ(lao->LumenAPoints(), Pts({{30, 30}}));

    // Width: a drag sets both ends and draws the white line; a press outside keeps it.
    lao->SetWidthButton->trigger();
    Drag(lao, {5, 40}, {25, 40});
    EXPECT_EQ(lao->WidthPoints(), Pts({{5, 40}, {25, 40}}));
    EXPECT_EQ(lao->LayerImage(4).pixel(15, 40), 0xFFFFFFFFu);
    const std::size_t before = prompter.messages.size();
    Click(lao, {5, 0});
    EXPECT_EQ(prompter.messages.size(), before + 1);
    EXPECT_EQ(lao->WidthPoints(), Pts({{5, 40}, {25, 40}}));
    EXPECT_EQ(lao->LayerImage(4).pixel(15, 40), 0xFFFFFFFFu);
    // A right-button drag pans and leaves the width.
    Drag(lao, {10, 20}, {12, 22}, Qt::RightButton);
    EXPECT_EQ(lao->WidthPoints(), Pts({{5, 40}, {25, 40}}));
    lao->WidthVisibleItem->setChecked(false);
    Click(lao, {6, 6});
    EXPECT_EQ(prompter.messages.back().text, QStringLiteral("Cannot set width in invisible mode"));
    lao->WidthVisibleItem->setChecked(true);

    // Delete a point; highlight while hovering in move mode.
    lao->DeletePointButton->trigger();
    Click(lao, {10, 10});
    EXPECT_EQ(lao->CatheterPoints(), Pts({{0, 10}, {20, 10}}));
    lao->MovePointButton->trigger();
    Mouse(lao, QEvent::MouseMove, Qt::NoButton, lao->ViewPosOf({20, 10}));
    EXPECT_EQ(lao->LayerImage(1).pixel(21, 10), 0xFFFFFF00u);
    // A move released past the image's right edge lands on its last column.
    lao->cxTrackBar1->setValue(100);
    Mouse(lao, QEvent::MouseButtonPress, Qt::LeftButton, lao->ViewPosOf({20, 10}));
    Mouse(lao, QEvent::MouseMove, Qt::LeftButton, lao->ViewPosOf({40, 12}));
    Mouse(lao, QEvent::MouseButtonRelease, Qt::LeftButton, lao->ViewPosOf({kFrameWidth + 30, 12}));
    EXPECT_EQ(lao->CatheterPoints(), Pts({{0, 10}, {kFrameWidth - 1, 12}}));
    // Undone one action at a time: first the re-addition, then the deletion.
    lao->UndoButton->trigger();
    EXPECT_EQ(lao->CatheterPoints(), Pts({{0, 10}}));
    lao->UndoButton->trigger();
    EXPECT_EQ(lao->CatheterPoints(), Pts({{0, 10}, {20, 10}}));
}

// "Clear all points" and "Reset width" ask first (No keeps everything); "Show as line"
// draws the list as a polyline and a drawing press turns it off.
TEST_F(AngioWindowTest, ClearResetAndShowAsLine)
{
    WriteFrames(QStringLiteral("LAO"), 2);
    Sql(QString::fromLatin1(kStoredTracing));
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;

    lao->ShowAsLineItems[0]->setChecked(true);
    EXPECT_EQ(lao->LayerImage(1).pixel(16, 10), 0xFF00FF00u) << "on the line from (12,11) to (20,10)";
    lao->CatheterButton->trigger();
    Click(lao, {30, 20});
    EXPECT_FALSE(lao->ShowAsLineItems[0]->isChecked());
    EXPECT_EQ(lao->LayerImage(1).pixel(16, 10), 0u);

    prompter.answers = {false, true, false, true};
    lao->ClearAllItems[0]->trigger();
    EXPECT_EQ(lao->CatheterPoints().size(), 4u);
    lao->ClearAllItems[0]->trigger();
    EXPECT_TRUE(lao->CatheterPoints().empty());
    EXPECT_EQ(lao->LayerImage(1).pixel(10, 10), 0u);
    lao->ResetWidthItem->trigger();
    EXPECT_EQ(lao->WidthPoints().size(), 2u);
    lao->ResetWidthItem->trigger();
    EXPECT_TRUE(lao->WidthPoints().empty());
    EXPECT_EQ(lao->LayerImage(4).pixel(15, 40), 0u);
    const QStringList asked = prompter.Texts();
    EXPECT_EQ(asked.count(QStringLiteral("Do you want to erase all catheter points?")), 2);
    EXPECT_EQ(asked.count(QStringLiteral("Do you want to reset catheter width?")), 2);
    // Erasing questions: Yes and No, No as the default.
    for (const auto& m : prompter.messages)
        EXPECT_EQ(m.kind, Prompter::Kind::YesNoDefaultNo);
    // The lumen actions remain undoable.
    lao->UndoButton->trigger();
    EXPECT_EQ(lao->LumenBPoints(), Pts({{40, 7}}));
}

// The traced views go through the card save into SQLite and come back the same when the
// window opens again.
TEST_F(AngioWindowTest, SavedTracingsReadBackTheSame)
{
    WriteFrames(QStringLiteral("LAO"), 10);
    WriteFrames(QStringLiteral("RAO"), 10);
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;
    TAngioFrame* rao = w->AngioFrame2;
    lao->dxBarSpinEdit1->setValue(6);
    lao->CatheterButton->trigger();
    for (PixelPoint p : {PixelPoint{2, 5}, PixelPoint{30, 20}, PixelPoint{10, 8}})
        Click(lao, p);
    lao->LumenAButton->trigger();
    Click(lao, {4, 9});
    lao->SetWidthButton->trigger();
    Drag(lao, {1, 30}, {9, 30});
    rao->TrackFrameBar->setValue(3);
    rao->LumenBButton->trigger();
    Click(rao, {50, 40});
    Click(rao, {48, 41});

    MainForm->dxBarLargeButton9Click();
    EXPECT_EQ(prompter.Texts().value(0), QStringLiteral("Save completed successfully"));
    EXPECT_EQ(Sql(QStringLiteral("SELECT LcatheterX, LcatheterY, LlumenAX, LlumenAY, LlumenBX, LwidthX, LwidthY, "
                                 "RlumenBX, RlumenBY, RcatheterX, LAOframe, RAOframe FROM angio WHERE patientID = 7;")),
              QStringLiteral("2 10 30 -1|5 8 20 -1|4 -1|9 -1||1 9 -1|30 30 -1|50 48 -1|40 41 -1||6|3"));

    const AngioSnapshot saved = w->TakeAngioSnapshot();
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(ANGIOForm);
    TANGIOForm* again = Open();
    ASSERT_NE(again, nullptr);
    const AngioSnapshot read = again->TakeAngioSnapshot();
    for (const auto& [a, b] : {std::pair{saved.LAO, read.LAO}, std::pair{saved.RAO, read.RAO}}) {
        EXPECT_EQ(a.CatheterPoints, b.CatheterPoints);
        EXPECT_EQ(a.LumenAPoints, b.LumenAPoints);
        EXPECT_EQ(a.LumenBPoints, b.LumenBPoints);
        EXPECT_EQ(a.WidthPoints, b.WidthPoints);
        EXPECT_EQ(a.FrameNumber, b.FrameNumber);
    }
    EXPECT_NEAR(ShownLevel(again->AngioFrame1), FrameLevel(5), 1);
}

// Closing frees the views and disables "Save" unless the IVUS window stays open.
TEST_F(AngioWindowTest, ClosingDisablesSaveOnlyWithoutTheIvusWindow)
{
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    MainForm->dxBarLargeButton3Click();  // IVUS
    ASSERT_TRUE(IVUSForm);
    QPointer<TAngioFrame> view = w->AngioFrame1;
    w->close();
    EXPECT_FALSE(ANGIOForm);
    EXPECT_TRUE(MainForm->ButtonEnabled(TMainForm::Button::Save));
    if (view) {
        EXPECT_TRUE(view->LayersFreed());
    }

    TANGIOForm* second = Open();
    ASSERT_NE(second, nullptr);
    IVUSForm->close();
    QCoreApplication::processEvents();
    second->close();
    EXPECT_FALSE(ANGIOForm);
    EXPECT_FALSE(MainForm->ButtonEnabled(TMainForm::Button::Save));
}

// A frame file that cannot be read makes the opening fail with the shell's report.
TEST_F(AngioWindowTest, MissingFrameFilesFailTheOpening)
{
    MainForm->LAOFrameCount = 4;  // counted, but the files are gone
    MainForm->dxBarLargeButton4Click();
    EXPECT_FALSE(ANGIOForm);
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_TRUE(prompter.messages.back().text.startsWith(QStringLiteral("A problem occured while opening window!")));
    EXPECT_TRUE(prompter.messages.back().text.contains(QStringLiteral("LAO.0.jpg")));
}

// "Outline" runs the vessel filter on the shown frame file and shows the outline in white
// on its own layer; before a frame is chosen (frame number 0) that is frame file 0, which the
// view shows; "Clear layer" removes only the outline.
TEST_F(AngioWindowTest, OutlineOfTheShownFrame)
{
    const QString folder = AppPaths::RecordingDir(kCode, QStringLiteral("LAO"));
    QDir().mkpath(folder);
    cv::Mat frame(96, 96, CV_8UC1, cv::Scalar(200));
    cv::line(frame, {48, 0}, {48, 95}, cv::Scalar(40), 7);
    for (int n : {0, 1})
        ASSERT_TRUE(cv::imwrite(QFile::encodeName(AppPaths::FrameFile(kCode, QStringLiteral("LAO"), n)).toStdString(), frame));
    MainForm->LAOFrameCount = 2;
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;
    lao->CatheterButton->trigger();
    Click(lao, {10, 10});

    ASSERT_EQ(lao->GetFrameNumber(), 0);
    lao->OutlineButton->trigger();
    auto whitePixels = [lao] {
        const QImage layer = lao->LayerImage(5);
        int n = 0;
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x)
                n += layer.pixel(x, y) == 0xFFFFFFFFu;
        return n;
    };
    EXPECT_GT(whitePixels(), 50);
    EXPECT_TRUE(prompter.messages.empty());
    lao->ClearOutlineItem->trigger();
    EXPECT_EQ(whitePixels(), 0);

    lao->dxBarSpinEdit1->setValue(2);
    lao->OutlineButton->trigger();
    const QImage outline = lao->LayerImage(5);
    EXPECT_GT(whitePixels(), 50);
    // The outline runs along the dark line, not across the bright background's middle.
    int nearLine = 0;
    for (int x = 30; x < 66; ++x)
        nearLine += outline.pixel(x, 60) == 0xFFFFFFFFu;
    EXPECT_GT(nearLine, 0);
    EXPECT_EQ(outline.pixel(10, 60), 0u);
    EXPECT_EQ(outline.pixel(0, 0), 0u);

    lao->ClearOutlineItem->trigger();
    EXPECT_EQ(whitePixels(), 0);
    EXPECT_EQ(lao->CatheterPoints(), Pts({{10, 10}}));

    // A frame file that cannot be read is reported, and the layer stays as it was.
    QFile::remove(folder + QStringLiteral("LAO.1.jpg"));
    lao->OutlineButton->trigger();
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_EQ(prompter.messages.back().kind, Prompter::Kind::Warning);
    EXPECT_TRUE(prompter.messages.back().text.contains(QStringLiteral("LAO.1.jpg")));
    EXPECT_EQ(whitePixels(), 0);
}

// Dragging with the delete tool deletes every point it passes exactly over, each as its own
// action; the layers lie over the image in their order and only the mode text ignores the
// zoom.
TEST_F(AngioWindowTest, DeleteDragAndLayerStack)
{
    WriteFrames(QStringLiteral("LAO"), 2);
    Sql(QString::fromLatin1(kStoredTracing));
    TANGIOForm* w = Open();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;
    lao->cxTrackBar1->setValue(400);

    lao->DeletePointButton->trigger();
    Mouse(lao, QEvent::MouseButtonPress, Qt::LeftButton, lao->ViewPosOf({10, 10}));
    Mouse(lao, QEvent::MouseMove, Qt::LeftButton, lao->ViewPosOf({11, 10}));  // no point here
    Mouse(lao, QEvent::MouseMove, Qt::LeftButton, lao->ViewPosOf({12, 11}));
    Mouse(lao, QEvent::MouseMove, Qt::LeftButton, lao->ViewPosOf({40, 7}));  // lumen B
    Mouse(lao, QEvent::MouseButtonRelease, Qt::LeftButton, lao->ViewPosOf({40, 7}));
    EXPECT_EQ(lao->CatheterPoints(), Pts({{20, 10}}));
    EXPECT_EQ(lao->LumenBPoints(), Pts({{42, 9}}));
    // Hovering without the button only highlights.
    Mouse(lao, QEvent::MouseMove, Qt::NoButton, lao->ViewPosOf({20, 10}));
    EXPECT_EQ(lao->CatheterPoints(), Pts({{20, 10}}));
    EXPECT_EQ(lao->LayerImage(1).pixel(20, 11), 0xFFFFFF00u);
    for (int i = 0; i < 3; ++i)
        lao->UndoButton->trigger();
    // Undoing a deletion adds the point again: the list is ordered from the point that is
    // first now.
    EXPECT_EQ(lao->CatheterPoints(), Pts({{20, 10}, {12, 11}, {10, 10}}));
    EXPECT_EQ(lao->LumenBPoints(), Pts({{42, 9}, {40, 7}}));

    // The image, then text, catheter, lumen A, lumen B, width and outline from bottom to top.
    QList<QGraphicsItem*> items = lao->ImgView->scene()->items(Qt::AscendingOrder);
    ASSERT_EQ(items.size(), 7);
    for (int i = 1; i < 7; ++i) {
        EXPECT_GT(items[i]->zValue(), items[i - 1]->zValue());
        EXPECT_EQ(items[i]->boundingRect().size(), QSizeF(kFrameWidth, kFrameHeight));
        EXPECT_EQ(items[i]->acceptedMouseButtons(), Qt::NoButton);
        EXPECT_EQ(bool(items[i]->flags() & QGraphicsItem::ItemIgnoresTransformations), i == 1);
    }
}

// A stored tracing that cannot be read fails the opening like a missing frame file.
TEST_F(AngioWindowTest, UnreadableStoredTracingFailsTheOpening)
{
    WriteFrames(QStringLiteral("LAO"), 2);
    Sql(QStringLiteral("INSERT INTO angio(patientID, LcatheterX, LcatheterY, LAOframe, RAOframe) "
                       "VALUES (7, '10 x2 -1', '4 5 -1', 1, 1);"));
    MainForm->dxBarLargeButton4Click();
    EXPECT_FALSE(ANGIOForm);
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_EQ(prompter.messages.back().kind, Prompter::Kind::ErrorDialog);
    EXPECT_TRUE(prompter.messages.back().text.startsWith(QStringLiteral("A problem occured while opening window!")));
}
