#include "import/ui/end_diastolic_box.h"

#include "app/forms.h"
#include "app/paths.h"
#include "import/core/synthetic_ivus.h"
#include "import/core/temp_dir.h"
#include "import/ui/player_frame.h"
#include "import/ui/player_image_view.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>

#include <sstream>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::PromptRecorder;
using studyimport::testing::SyntheticIvus;
using studyimport::testing::TempDir;
using K = Prompter::Kind;

namespace {

class EndDiastolicBoxTest : public ::testing::Test {
protected:
    TempDir tmp;
    PromptRecorder prompts;
    TPlayerFrame player;
    TEndDiastolicBox box{&player};
    std::ostringstream log;
    fs::path ivusFolder = tmp.path() / "cache" / "tmp" / "IVUS";

    void SetUp() override
    {
        AppPaths::SetRoot(QString::fromStdString(tmp.path().string()));
        box.SetLog(&log);
    }
    void TearDown() override { AppPaths::SetRoot(QString()); }

    // Writes the recording into the IVUS working folder and loads the IVUS player.
    void LoadRecording(const SyntheticIvus& ivus)
    {
        fs::create_directories(ivusFolder);
        ivus.Write((ivusFolder / "IVUS").string());
        player.SetFrameSource(QString::fromStdString(ivusFolder.string()) + "/", "IVUS.", ivus.frames);
        player.SetFrameRange(ivus.frames);
        player.PreparePlayer(true);
        box.SetIvusFrameCount(ivus.frames);
    }

    static SyntheticIvus Recording(int frames)
    {
        SyntheticIvus ivus;
        ivus.frames = frames;
        ivus.beats = {2, 10, 19, 27, 36};
        return ivus;
    }

    void SendMouse(QEvent::Type type, QPoint at)
    {
        QWidget* vp = player.ImgView->viewport();
        QMouseEvent e(type, QPointF(at), vp->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    }
};

TEST_F(EndDiastolicBoxTest, DefaultsBoundsAndRestoreButtons)
{
    EXPECT_EQ(box.title(), " Automatic selection of end diastolic frames ");
    EXPECT_EQ(box.cxSpinEdit1->value(), 224);
    EXPECT_EQ(box.cxSpinEdit2->value(), 30.0);
    EXPECT_EQ(box.cxSpinEdit2->singleStep(), 0.5);
    EXPECT_EQ(box.cxSpinEdit3->value(), 60);
    EXPECT_DOUBLE_EQ(box.cxSpinEdit4->value(), 0.8);
    EXPECT_DOUBLE_EQ(box.cxSpinEdit4->singleStep(), 0.1);
    EXPECT_EQ(box.cxSpinEdit5->value(), 30);
    // Values that would loop or read above the frame cannot be entered.
    box.cxSpinEdit5->setValue(0);
    EXPECT_EQ(box.cxSpinEdit5->value(), 1);
    box.cxSpinEdit1->setValue(-3);
    EXPECT_EQ(box.cxSpinEdit1->value(), 0);

    box.cxSpinEdit2->setValue(12.5);
    box.cxSpinEdit3->setValue(99);
    box.cxSpinEdit4->setValue(2.0);
    box.cxSpinEdit5->setValue(7);
    for (QPushButton* b : {box.cxButton7, box.cxButton8, box.cxButton9, box.cxButton10})
        b->click();
    EXPECT_EQ(box.cxSpinEdit2->value(), 30.0);
    EXPECT_EQ(box.cxSpinEdit3->value(), 60);
    EXPECT_DOUBLE_EQ(box.cxSpinEdit4->value(), 0.8);
    EXPECT_EQ(box.cxSpinEdit5->value(), 30);
    EXPECT_EQ(box.FramePrefix().toStdString(), (ivusFolder / "IVUS").string());
}

TEST_F(EndDiastolicBoxTest, StartSelectsTheEndDiastolicFrames)
{
    const SyntheticIvus ivus = Recording(40);
    LoadRecording(ivus);
    box.cxSpinEdit1->setValue(ivus.ecgStartRow);
    studyimport::testing::ProgressWindowWatcher progress;
    box.cxButton6->click();

    ASSERT_FALSE(progress.shown.empty());
    EXPECT_EQ(progress.shown[0].text, "Automatic selection of end diastolic frames");
    EXPECT_EQ(progress.shown[0].maximum, 39);
    EXPECT_EQ(progress.shown.back().finalValue, 39);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, Prompter::Kind::Info);
    EXPECT_EQ(prompts.messages[0].text, "Automatic selection completed successfully");
    EXPECT_EQ(player.Selection().SelectedIndices(), std::vector<int>({19, 27, 36}));
    EXPECT_TRUE(ProgressForm.isNull());
    EXPECT_NE(log.str().find("Starting processing of image #39\nResults:\n"), std::string::npos);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(EndDiastolicBoxTest, PreviousSelectionIsReplacedOnlyAfterYes)
{
    const SyntheticIvus ivus = Recording(40);
    LoadRecording(ivus);
    box.cxSpinEdit1->setValue(ivus.ecgStartRow);
    player.SelectFrame(5);

    prompts.answers = {false};
    box.cxButton6->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, Prompter::Kind::YesNo);
    EXPECT_EQ(prompts.messages[0].text, "Your previously selected frames will be lost.\n"
                                        "Do you want to continue with automatic selection?");
    EXPECT_EQ(player.Selection().SelectedIndices(), std::vector<int>({5}));
    EXPECT_TRUE(log.str().empty());

    prompts.answers = {true};
    box.cxButton6->click();
    EXPECT_EQ(player.Selection().SelectedIndices(), std::vector<int>({19, 27, 36}));
}

TEST_F(EndDiastolicBoxTest, FailureClearsSelectionWithPlainMessage)
{
    const SyntheticIvus ivus = Recording(14);
    LoadRecording(ivus);
    player.SelectFrame(3);
    box.cxSpinEdit1->setValue(ivus.height + 1);
    prompts.answers = {true};
    box.cxButton6->click();

    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].kind, Prompter::Kind::Plain);
    EXPECT_EQ(prompts.messages[1].text, "Cannot detect end-diastolic automatically!");
    EXPECT_FALSE(player.Selection().AnySelected());
    EXPECT_NE(log.str().find("ECG position cannot exceed image dimensions!\n"), std::string::npos);
    EXPECT_TRUE(ProgressForm.isNull());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A missing frame file fails the same way.
    box.cxSpinEdit1->setValue(ivus.ecgStartRow);
    fs::remove(ivusFolder / "IVUS.7.jpg");
    box.cxButton6->click();
    EXPECT_EQ(prompts.messages.back().text, "Cannot detect end-diastolic automatically!");
}

// A selection that picks no frame is not reported as a success.
TEST_F(EndDiastolicBoxTest, NoFramePickedIsReportedAsSuch)
{
    const char* const noFrame = "No end-diastolic frame was found automatically.\n"
                                "Check the cardiogram start position, or select the frames by hand (F4).";
    // Too short a recording for the peak test.
    const SyntheticIvus shortOne = Recording(11);
    LoadRecording(shortOne);
    box.cxSpinEdit1->setValue(shortOne.ecgStartRow);
    box.cxButton6->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, K::Warning);
    EXPECT_EQ(prompts.messages[0].text, noFrame);
    EXPECT_FALSE(player.Selection().AnySelected());

    // No ECG at the chosen row: the last row of the frame holds no trace.
    const SyntheticIvus ivus = Recording(40);
    LoadRecording(ivus);
    prompts.Clear();
    box.cxSpinEdit1->setValue(ivus.height);
    box.cxButton6->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, K::Warning);
    EXPECT_EQ(prompts.messages[0].text, noFrame);
    EXPECT_FALSE(player.Selection().AnySelected());
}

TEST_F(EndDiastolicBoxTest, EcgRowIsPickedOnTheFrame)
{
    SyntheticIvus ivus = Recording(2);
    ivus.width = 320;
    ivus.height = 256;
    ivus.ecgStartRow = 200;
    LoadRecording(ivus);
    player.ImgView->resize(400, 300);
    ASSERT_EQ(player.ImgView->ImageOffset(), QPoint(0, 0));
    const QImage& drawing = player.DrawingLayer()->bitmap;
    const QImage blank = drawing.copy();

    // Mode off: moves draw nothing.
    SendMouse(QEvent::MouseMove, {50, 100});
    EXPECT_EQ(drawing, blank);

    box.cxSpinEdit1->setValue(100);
    box.cxButton11->click();
    EXPECT_TRUE(box.PickEcgRowMode);
    SendMouse(QEvent::MouseMove, {50, 100});
    const QColor line = drawing.pixelColor(10, 99);
    EXPECT_EQ(line, QColor::fromRgba(0xFF00FF00));
    EXPECT_EQ(qAlpha(drawing.pixel(10, 98)), 0);
    const QColor shade = drawing.pixelColor(300, 255);
    EXPECT_EQ(shade.alpha(), 0x50);
    EXPECT_NEAR(shade.red(), 0x38, 2);
    EXPECT_NEAR(shade.green(), 0x56, 2);
    EXPECT_NEAR(shade.blue(), 0x8A, 2);

    // Outside the frame nothing changes, and a press there keeps the mode.
    const QImage before = drawing.copy();
    SendMouse(QEvent::MouseMove, {50, 0});
    SendMouse(QEvent::MouseMove, {330, 100});
    EXPECT_EQ(drawing, before);
    SendMouse(QEvent::MouseButtonPress, {50, 0});
    EXPECT_TRUE(box.PickEcgRowMode);
    EXPECT_EQ(box.cxSpinEdit1->value(), 100);

    SendMouse(QEvent::MouseButtonPress, {50, 224});
    EXPECT_FALSE(box.PickEcgRowMode);
    EXPECT_EQ(box.cxSpinEdit1->value(), 224);
    // The drawing stays; further moves do nothing.
    const QImage kept = drawing.copy();
    SendMouse(QEvent::MouseMove, {50, 30});
    EXPECT_EQ(drawing, kept);
}

} // namespace
