// The IVUS page's road without DICOM: a folder of JPEG images is imported into the IVUS
// working folder, the player is made selectable, and the automatic selection marks the
// end-diastolic frames.
#include "app/paths.h"
#include "import/core/synthetic_ivus.h"
#include "import/core/temp_dir.h"
#include "import/ui/end_diastolic_box.h"
#include "import/ui/folder_import_page.h"
#include "import/ui/player_frame.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <sstream>

namespace fs = std::filesystem;
using namespace studyimport;
using studyimport::testing::PromptRecorder;
using studyimport::testing::SyntheticIvus;
using studyimport::testing::TempDir;

namespace {

TEST(ImportFlowTest, FolderOfImagesNamedWithoutPaddingKeepsTimeOrderForTheSelection)
{
    TempDir tmp;
    AppPaths::SetRoot(QString::fromStdString(tmp.path().string()));
    PromptRecorder prompts;

    // A pull-back exported as img1.jpg .. img40.jpg: in plain name order img10 would
    // come before img2 and the R waves would land on the wrong frames.
    SyntheticIvus ivus;
    ivus.frames = 40;
    ivus.beats = {2, 10, 19, 27, 36};
    const fs::path exported = tmp.path() / "export";
    const fs::path scratch = tmp.path() / "scratch";
    fs::create_directories(exported);
    fs::create_directories(scratch);
    ivus.Write((scratch / "f").string());
    for (int n = 0; n < ivus.frames; ++n)
        fs::rename(scratch / ("f." + std::to_string(n) + ".jpg"),
                   exported / ("img" + std::to_string(n + 1) + ".jpg"));

    TPlayerFrame player;
    TEndDiastolicBox box(&player);
    std::ostringstream log;
    box.SetLog(&log);
    QLineEdit folderBox;
    const QString working = AppPaths::CacheDir() + "/tmp/IVUS/";
    const QString folder = QString::fromStdString(exported.string());
    const FolderImportOutcome out =
        BrowseImageFolder(nullptr, &folderBox, &player, working, "IVUS.", true,
                          [folder](QWidget*) { return folder; });
    ASSERT_EQ(out.frameCount, 40);
    box.SetIvusFrameCount(out.frameCount);
    box.cxSpinEdit1->setValue(ivus.ecgStartRow);
    box.cxButton6->click();

    EXPECT_EQ(player.Selection().SelectedIndices(), std::vector<int>({19, 27, 36}));
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back().text, "Automatic selection completed successfully");
    AppPaths::SetRoot(QString());
}

} // namespace
