#pragma once
// "Browse..." next to "Extract images from folder" on a recording page of the
// new-patient wizard: the user picks a folder of JPEG images, which is copied into the
// page's working folder as numbered frame files and shown in the page's player.
#include <QString>

#include <functional>

class QLineEdit;
class QWidget;

namespace studyimport {

class TPlayerFrame;

// Asks for a folder; the empty text when the user cancels.
using FolderChooser = std::function<QString(QWidget* parent)>;

// The platform's folder dialog, "Select image folder", starting at the desktop.
QString ChooseImageFolder(QWidget* parent);

struct FolderImportOutcome {
    bool cancelled = false;
    int frameCount = 0; // frame files now in the working folder
};

// Runs the page's "Browse...": the chosen folder goes into `folderBox`, its images are
// copied under the progress window "Copying files", and the player is given the new
// sequence (made selectable when `selectable`), shown paused on frame 1. Files that could
// not be copied are listed in a warning. A folder without images empties the working
// folder and the player. A cancelled dialog changes nothing.
FolderImportOutcome BrowseImageFolder(QWidget* parent, QLineEdit* folderBox, TPlayerFrame* player,
                                      const QString& workingFolder, const QString& prefix,
                                      bool selectable,
                                      const FolderChooser& choose = ChooseImageFolder);

} // namespace studyimport
