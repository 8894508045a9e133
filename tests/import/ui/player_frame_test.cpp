#include "import/ui/player_frame.h"

#include "import/core/temp_dir.h"
#include "import/ui/player_image_view.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace studyimport;
using studyimport::testing::FlatFrameLevel;
using studyimport::testing::PromptRecorder;
using studyimport::testing::TempDir;
using studyimport::testing::WriteFlatFrames;

namespace {

class PlayerFrameTest : public ::testing::Test {
protected:
    TempDir tmp;
    QString folder = QString::fromStdString(tmp.path().string()) + "/";
    TPlayerFrame player;

    void Load(int frames, bool selectable, cv::Size size = {64, 48})
    {
        WriteFlatFrames(tmp.path(), "IVUS.", frames, size);
        player.SetFrameSource(folder, "IVUS.", frames);
        player.SetFrameRange(frames);
        if (selectable)
            player.PreparePlayer(true);
    }

    int ShownLevel() const
    {
        const QImage& img = player.ImgView->Image();
        return img.isNull() ? -1 : qGray(img.pixel(img.width() / 2, img.height() / 2));
    }

    bool MarkerShowsSelected() const
    {
        return player.MarkerLayer()->bitmap == player.Bitmap32List2[1];
    }
};

TEST_F(PlayerFrameTest, StartsEmptyWithToolbarDefaults)
{
    EXPECT_EQ(player.FrameCount(), 0);
    EXPECT_FALSE(player.Selectable());
    EXPECT_TRUE(player.SelectAllNext());
    EXPECT_EQ(player.MarkerLayer(), nullptr);
    EXPECT_EQ(player.TextLayer(), nullptr);
    EXPECT_EQ(player.DrawingLayer(), nullptr);
    EXPECT_EQ(player.dxBarSpinEdit1->prefix(), "frame #");
    EXPECT_EQ(player.dxBarSpinEdit1->maximum(), 80);
    EXPECT_EQ(player.cxBarEditItem11->maximum(), 80);
    EXPECT_EQ(player.dxBarSpinEdit1->value(), 1);
    EXPECT_EQ(player.Timer1->interval(), 60);
    EXPECT_FALSE(player.Timer1->isActive());
    EXPECT_FALSE(player.dxBarButton3->isVisible());
    EXPECT_FALSE(player.dxBarButton4->isVisible());
    EXPECT_FALSE(player.dxBarButton5->isVisible());
    EXPECT_EQ(player.dxBarSpinEdit2->minimum(), -25);
    EXPECT_EQ(player.dxBarSpinEdit2->maximum(), 25);
    // Nothing to draw on yet.
    player.DrawOverlayText("text", 0xFFFF0000);
}

TEST_F(PlayerFrameTest, PlaysWrapsAndKeepsEditorAndTrackBarEqual)
{
    Load(3, false);
    QSignalSpy shown(&player, &TPlayerFrame::FrameShown);
    player.dxBarButton2->trigger();
    EXPECT_TRUE(player.Timer1->isActive());
    for (int tick = 0; tick < 5; ++tick)
        player.Timer1Timer();
    player.dxBarButton1->trigger();
    EXPECT_FALSE(player.Timer1->isActive());

    std::vector<int> frames;
    for (const auto& args : shown)
        frames.push_back(args.at(0).toInt());
    EXPECT_EQ(frames, std::vector<int>({2, 3, 1, 2, 3}));
    EXPECT_EQ(player.cxBarEditItem11->value(), 3);
    EXPECT_EQ(ShownLevel(), FlatFrameLevel(2));

    // The track bar drives the editor and the image alike.
    player.cxBarEditItem11->setValue(1);
    EXPECT_EQ(player.dxBarSpinEdit1->value(), 1);
    EXPECT_EQ(ShownLevel(), FlatFrameLevel(0));
    EXPECT_TRUE(player.ImgView->LinearResampling());
}

TEST_F(PlayerFrameTest, OneFrameSequenceStaysOnFrameOne)
{
    Load(1, false);
    QSignalSpy shown(&player, &TPlayerFrame::FrameShown);
    for (int tick = 0; tick < 3; ++tick)
        player.Timer1Timer();
    EXPECT_EQ(player.dxBarSpinEdit1->value(), 1);
    EXPECT_EQ(shown.count(), 0);
}

TEST_F(PlayerFrameTest, MissingFrameStopsPlaybackWithOneMessage)
{
    PromptRecorder recorder;
    Load(4, false);
    std::filesystem::remove(tmp.path() / "IVUS.2.jpg");
    player.dxBarButton2->trigger();
    player.Timer1Timer(); // frame 2
    player.Timer1Timer(); // frame 3: missing
    EXPECT_FALSE(player.Timer1->isActive());
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].kind, Prompter::Kind::Warning);
    EXPECT_TRUE(recorder.messages[0].text.startsWith("Frame #3 cannot be shown"));
    // The last good frame stays on show.
    EXPECT_EQ(ShownLevel(), FlatFrameLevel(1));
}

TEST_F(PlayerFrameTest, SelectablePlayerLayersAndFlags)
{
    Load(20, false);
    player.PreparePlayer(true);
    player.SelectFrame(3);
    // A later, shorter sequence: PreparePlayer rebuilds exactly FrameCount clear flags.
    Load(6, true, {80, 60});
    EXPECT_TRUE(player.Selectable());
    EXPECT_EQ(player.SelectedFlags(), std::vector<std::uint32_t>(6, 0u));
    EXPECT_TRUE(player.dxBarButton3->isVisible());
    EXPECT_TRUE(player.dxBarButton4->isVisible());
    EXPECT_TRUE(player.dxBarButton5->isVisible());

    ASSERT_NE(player.MarkerLayer(), nullptr);
    ASSERT_NE(player.DrawingLayer(), nullptr);
    ASSERT_NE(player.TextLayer(), nullptr);
    EXPECT_EQ(player.MarkerLayer()->location, QRect(5, 5, 16, 16));
    EXPECT_EQ(player.DrawingLayer()->location, QRect(0, 0, 80, 60));
    EXPECT_EQ(player.DrawingLayer()->bitmap.size(), QSize(80, 60));
    EXPECT_EQ(player.TextLayer()->location, QRect(0, 0, 200, 50));
    EXPECT_TRUE(player.MarkerLayer()->mouseEvents);
    EXPECT_FALSE(player.DrawingLayer()->mouseEvents);
    // Drawing layer under the marker, the marker on top of everything.
    const PlayerImageView& view = *player.ImgView;
    EXPECT_LT(view.LayerIndex(player.DrawingLayer()), view.LayerIndex(player.MarkerLayer()));
    EXPECT_EQ(view.LayerIndex(player.MarkerLayer()), view.LayerCount() - 1);
    EXPECT_EQ(ShownLevel(), FlatFrameLevel(0));
    EXPECT_FALSE(MarkerShowsSelected());

    // Preparing again replaces the layers instead of stacking stale ones.
    const int layers = view.LayerCount();
    player.SelectAllFrames(true);
    player.PreparePlayer(true);
    EXPECT_EQ(view.LayerCount(), layers);
    EXPECT_EQ(player.SelectedFlags(), std::vector<std::uint32_t>(6, 0u));
    EXPECT_FALSE(MarkerShowsSelected());

    player.FreePlayerLayers();
    EXPECT_EQ(player.MarkerLayer(), nullptr);
    EXPECT_EQ(view.LayerIndex(player.DrawingLayer()), -1);
}

TEST_F(PlayerFrameTest, SetUnsetMarksTheCurrentFrame)
{
    Load(10, true);
    player.dxBarSpinEdit1->setValue(5);
    player.dxBarButton3->trigger();
    EXPECT_EQ(player.Selection().SelectedIndices(), std::vector<int>({4}));
    EXPECT_TRUE(MarkerShowsSelected());
    // The marker follows the frame on show.
    player.dxBarSpinEdit1->setValue(6);
    EXPECT_FALSE(MarkerShowsSelected());
    player.dxBarSpinEdit1->setValue(5);
    EXPECT_TRUE(MarkerShowsSelected());
    player.dxBarButton3->trigger();
    EXPECT_FALSE(player.Selection().AnySelected());
    EXPECT_FALSE(MarkerShowsSelected());
}

TEST_F(PlayerFrameTest, ShiftButtonMovesSelectionOrTellsNothingIsSelected)
{
    PromptRecorder recorder;
    Load(10, true);
    player.dxBarSpinEdit2->setValue(2);
    player.dxBarButton4->trigger();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].kind, Prompter::Kind::Info);
    EXPECT_EQ(recorder.messages[0].text, "No selected frames are found");

    player.SelectFrame(0);
    player.SelectFrame(9);
    player.dxBarButton4->trigger();
    EXPECT_EQ(player.Selection().SelectedIndices(), std::vector<int>({2}));
    player.dxBarSpinEdit1->setValue(3);
    EXPECT_TRUE(MarkerShowsSelected());
    EXPECT_EQ(recorder.messages.size(), 1u);
}

TEST_F(PlayerFrameTest, ShiftEditorBringsTypedValuesIntoRange)
{
    player.PreparePlayer(true);
    QSpinBox* spin = player.dxBarSpinEdit2;
    const struct {
        const char* typed;
        int stored;
    } cases[] = {{"40", 25}, {"-30", -25}, {"7", 7}, {"-25", -25}, {"100000000000", 25}};
    for (const auto& c : cases) {
        spin->clear();
        QTest::keyClicks(spin, c.typed);
        EXPECT_EQ(spin->value(), c.stored) << c.typed;
    }
}

TEST_F(PlayerFrameTest, SelectUnselectAllAlternates)
{
    Load(4, true);
    player.dxBarButton5->trigger();
    EXPECT_EQ(player.SelectedFlags(), std::vector<std::uint32_t>(4, 1u));
    EXPECT_TRUE(MarkerShowsSelected());
    player.dxBarButton5->trigger();
    EXPECT_EQ(player.SelectedFlags(), std::vector<std::uint32_t>(4, 0u));
    EXPECT_FALSE(MarkerShowsSelected());
}

TEST_F(PlayerFrameTest, OverlayTextIsDrawnOnClearedTopStrip)
{
    player.PreparePlayer(false);
    ASSERT_NE(player.TextLayer(), nullptr);
    player.DrawOverlayText("Extracting", 0xFFFF0000);
    const QImage& bmp = player.TextLayer()->bitmap;
    int red = 0;
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x) {
            const QRgb p = bmp.pixel(x, y);
            if (qAlpha(p) == 255 && qRed(p) == 255 && qGreen(p) == 0) {
                ++red;
                EXPECT_GE(x, 10);
                EXPECT_GE(y, 10);
            } else {
                EXPECT_EQ(qAlpha(p), 0) << "anti-aliased or stray pixel at " << x << "," << y;
            }
        }
    EXPECT_GT(red, 10);
    player.DrawOverlayText("", 0xFFFF0000);
    EXPECT_EQ(player.TextLayer()->bitmap.copy(0, 0, 200, 30),
              [] { QImage i(200, 30, QImage::Format_ARGB32_Premultiplied); i.fill(Qt::transparent); return i; }());
}

TEST_F(PlayerFrameTest, ResetForgetsTheSequence)
{
    PromptRecorder recorder;
    Load(5, true);
    player.SelectFrame(2);
    player.dxBarButton2->trigger();
    player.ResetPlayer();
    EXPECT_EQ(player.FrameCount(), 0);
    EXPECT_FALSE(player.Timer1->isActive());
    EXPECT_TRUE(player.ImgView->Image().isNull());
    EXPECT_EQ(player.dxBarSpinEdit1->maximum(), 1);
    EXPECT_EQ(player.cxBarEditItem11->maximum(), 1);
    EXPECT_TRUE(player.SelectedFlags().empty());
    // Ticks and Set / Unset on an empty player do nothing.
    player.Timer1Timer();
    player.dxBarButton3->trigger();
    EXPECT_FALSE(player.Selection().AnySelected());
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(PlayerFrameTest, F4TogglesTheCurrentFrame)
{
    Load(3, true);
    player.show();
    player.activateWindow();
    if (!QTest::qWaitForWindowActive(&player))
        GTEST_SKIP() << "no active window on this display";
    QTest::keyClick(&player, Qt::Key_F4);
    EXPECT_TRUE(player.IsFrameSelected(0));
}

} // namespace
