#include "import/ui/folder_import_page.h"

#include "app/forms.h"
#include "import/core/temp_dir.h"
#include "import/ui/player_frame.h"
#include "import/ui/player_image_view.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <set>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::FlatFrameLevel;
using studyimport::testing::PromptRecorder;
using studyimport::testing::TempDir;
using studyimport::testing::WriteFlatFrames;

namespace {

class FolderImportPageTest : public ::testing::Test {
protected:
    TempDir tmp;
    PromptRecorder prompts;
    TPlayerFrame player;
    QLineEdit folderBox;
    fs::path images = tmp.path() / "images";
    fs::path working = tmp.path() / "cache" / "tmp" / "LAO";
    QString workingFolder = QString::fromStdString(working.string()) + "/";

    FolderImportOutcome Browse(const fs::path& chosen, bool selectable = false,
                               const QString& prefix = "LAO.")
    {
        const QString folder = QString::fromStdString(chosen.string());
        return BrowseImageFolder(nullptr, &folderBox, &player, workingFolder, prefix, selectable,
                                 [folder](QWidget*) { return folder; });
    }

    // Writes flat frames under the given names; name i gets the level of frame i.
    void WriteNamed(const std::vector<std::string>& names)
    {
        fs::create_directories(images);
        for (std::size_t i = 0; i < names.size(); ++i) {
            WriteFlatFrames(tmp.path() / "scratch", "f", static_cast<int>(i) + 1);
            fs::copy_file(tmp.path() / "scratch" / ("f" + std::to_string(i) + ".jpg"),
                          images / names[i], fs::copy_options::overwrite_existing);
        }
    }

    int ShownLevel() const
    {
        const QImage& img = player.ImgView->Image();
        return img.isNull() ? -1 : qGray(img.pixel(img.width() / 2, img.height() / 2));
    }
};

TEST_F(FolderImportPageTest, ImportsInNaturalOrderAndLeavesPlayerPausedOnFirstFrame)
{
    WriteNamed({"img1.jpg", "img2.JPG", "img10.jpg"});
    studyimport::testing::ProgressWindowWatcher progress;
    const FolderImportOutcome out = Browse(images);

    EXPECT_FALSE(out.cancelled);
    EXPECT_EQ(out.frameCount, 3);
    EXPECT_EQ(folderBox.text().toStdString(), images.string());
    EXPECT_EQ(player.FrameCount(), 3);
    EXPECT_EQ(player.Prefix(), "LAO.");
    EXPECT_EQ(player.dxBarSpinEdit1->maximum(), 3);
    EXPECT_EQ(player.cxBarEditItem11->maximum(), 3);
    EXPECT_FALSE(player.Timer1->isActive());
    EXPECT_EQ(player.CurrentFrameNumber(), 1);
    EXPECT_EQ(ShownLevel(), FlatFrameLevel(0));
    // Frame 3 of the player is img10.
    player.dxBarSpinEdit1->setValue(3);
    EXPECT_EQ(ShownLevel(), FlatFrameLevel(2));
    EXPECT_TRUE(prompts.messages.empty());
    // The progress window was shown for the copy, stepped once per file, and is gone.
    ASSERT_FALSE(progress.shown.empty());
    EXPECT_EQ(progress.shown[0].text, "Copying files");
    EXPECT_EQ(progress.shown[0].maximum, 3);
    EXPECT_EQ(progress.shown.back().finalValue, 3);
    EXPECT_TRUE(ProgressForm.isNull());
}

TEST_F(FolderImportPageTest, IvusPageMakesPlayerSelectable)
{
    WriteNamed({"a.jpg"});
    const FolderImportOutcome out = Browse(images, true, "IVUS.");
    EXPECT_EQ(out.frameCount, 1);
    EXPECT_TRUE(player.Selectable());
    EXPECT_EQ(player.SelectedFlags(), std::vector<std::uint32_t>(1, 0u));
    EXPECT_NE(player.DrawingLayer(), nullptr);
    EXPECT_TRUE(player.dxBarButton5->isVisible());
    EXPECT_EQ(ShownLevel(), FlatFrameLevel(0));
}

TEST_F(FolderImportPageTest, FolderWithoutImagesResetsPlayerAndSaysSo)
{
    WriteNamed({"a.jpg", "b.jpg"});
    Browse(images);
    ASSERT_EQ(player.FrameCount(), 2);

    const fs::path empty = tmp.path() / "empty";
    fs::create_directories(empty);
    const FolderImportOutcome out = Browse(empty);
    EXPECT_EQ(out.frameCount, 0);
    EXPECT_EQ(player.FrameCount(), 0);
    EXPECT_TRUE(player.ImgView->Image().isNull());
    EXPECT_TRUE(fs::is_empty(working));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, Prompter::Kind::Warning);
}

TEST_F(FolderImportPageTest, CancelChangesNothing)
{
    WriteNamed({"a.jpg", "b.jpg"});
    Browse(images);
    folderBox.setText("before");
    const FolderImportOutcome out = BrowseImageFolder(nullptr, &folderBox, &player, workingFolder,
                                                      "LAO.", false, [](QWidget*) { return QString(); });
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(folderBox.text(), "before");
    EXPECT_EQ(player.FrameCount(), 2);
    EXPECT_TRUE(fs::exists(working / "LAO.1.jpg"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(FolderImportPageTest, WorkingFolderChosenAsSourceIsReportedAndKept)
{
    WriteNamed({"a.jpg", "b.jpg"});
    Browse(images);
    Browse(working);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, Prompter::Kind::Warning);
    EXPECT_TRUE(prompts.messages[0].text.contains("working folder"));
    EXPECT_TRUE(fs::exists(working / "LAO.0.jpg"));
    EXPECT_TRUE(fs::exists(working / "LAO.1.jpg"));
}

} // namespace
